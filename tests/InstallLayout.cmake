# Installs the build into a fresh folder and runs the installed programs from
# there: tessil-cli, the stand-in EcoSim's program file beside it, and a study
# through EcoSim's windows, which finds that file from the installed
# tessil-cli's own folder. Run with -DBUILD=... -DPREFIX=... -DWITH_QT=ON|OFF,
# and for the Windows cross build -DSUFFIX=.exe -DEMULATOR=<wine-run.sh>
# -DWINDOWS=ON: there the stand-in is never installed.
file(REMOVE_RECURSE "${PREFIX}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nended with ${status}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

function(expect_in text what)
  string(FIND "${text}" "${what}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expected \"${what}\" in:\n${text}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install "${BUILD}" --prefix "${PREFIX}")
if(NOT BINDIR)
  set(BINDIR bin)
endif()
set(bin "${PREFIX}/${BINDIR}")
set(expected "${bin}/tessil-cli${SUFFIX}")
if(WITH_QT)
  list(APPEND expected "${bin}/tessil" "${bin}/EcoSim/EcoSim700.exe")
endif()
# The Windows desktop opens its help file by bare name, beside the program.
if(WINDOWS)
  list(APPEND expected "${bin}/Tessil Help.chm")
endif()
foreach(file IN LISTS expected)
  if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
if(WINDOWS AND EXISTS "${bin}/EcoSim")
  message(FATAL_ERROR "the stand-in EcoSim was installed: ${bin}/EcoSim")
endif()

set(study run --rows 6 --cols 5 --iterations 12 --yes --ecosim-iterations 40 --assume-sites-equivalent)
run(${EMULATOR} "${bin}/tessil-cli${SUFFIX}" ${study})
expect_in("${out}" "Matrix dimensions: 6 rows (species) x 5 columns (sites)")
if(NOT WITH_QT)
  return()
endif()
set(in_process "${out}")
run("${bin}/tessil-cli" ${study} --ecosim windows)
if(NOT out STREQUAL in_process)
  message(FATAL_ERROR "the study through the installed stand-in gave another report:\n${out}")
endif()

set(matrix "${PREFIX}/matrix.csv")
file(WRITE "${matrix}" "species,a,b,c,d,e,f\ns1,1,1,1,0,0,0\ns2,1,1,0,0,0,0\ns3,0,0,0,1,1,1\ns4,0,0,0,1,1,0\n")
run("${bin}/EcoSim/EcoSim700.exe" "${matrix}" --ecosim-iterations 40)
expect_in("${out}" "p(observed >= expected) = ")
