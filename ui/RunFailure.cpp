#include "RunFailure.h"

#include <new>
#include <string_view>

#include "Errors.h"

namespace tessil {

namespace {

QString Reason(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const EcoSimWindowMissing& e) {
    // A window named by the run says which one.
    if (std::string_view(e.what()).find(": ") != std::string_view::npos) return QString::fromStdString(e.what());
    return QStringLiteral("EcoSim stopped answering: a window of EcoSim that Tessil needs could not be found.");
  } catch (const PValueNotANumber& e) {
    return QStringLiteral("Tessil could not read EcoSim's results. ") + QString::fromStdString(e.what()) +
           QLatin1Char('.');
  } catch (const TessilError& e) {
    return QString::fromStdString(e.what());
  } catch (const std::bad_alloc&) {
    return QStringLiteral("There was not enough memory for a matrix of this size.");
  } catch (const std::exception& e) {
    return QStringLiteral("An unexpected error occurred: ") + QString::fromStdString(e.what());
  } catch (...) {
    return QStringLiteral("An unexpected error occurred.");
  }
}

}  // namespace

QString RunFailureMessage(std::exception_ptr failure) {
  QString reason = failure ? Reason(failure) : QStringLiteral("An unexpected error occurred.");
  if (!reason.endsWith(QLatin1Char('.'))) reason += QLatin1Char('.');
  return QStringLiteral("The run could not be completed. ") + reason + QStringLiteral("\n\nNo results were produced.");
}

QString NotClosedMessage(std::exception_ptr failure) {
  QString reason = failure ? Reason(failure) : QStringLiteral("An unexpected error occurred.");
  return reason + QStringLiteral("\n\nThe results are complete.");
}

bool FailedForMissingProgram(std::exception_ptr failure) {
  if (!failure) return false;
  try {
    std::rethrow_exception(failure);
  } catch (const EcoSimProgramMissing&) {
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace tessil
