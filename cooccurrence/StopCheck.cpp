#include "StopCheck.h"

namespace tessil::cooc {
namespace {

struct Observer {
  testing::PollObserver Call = nullptr;
  void* Context = nullptr;
};
thread_local Observer observer;

}  // namespace

void StopCheck::Poll() {
  left_ = Interval;
  if (observer.Call != nullptr) {
    observer.Call(observer.Context);
  }
  if (token_.stop_requested()) {
    throw StopRequested{};
  }
}

void testing::ObservePolls(PollObserver call, void* context) { observer = Observer{call, context}; }

}  // namespace tessil::cooc
