#!/bin/sh
# The stand-in EcoSim's program file, installed as EcoSim/EcoSim700.exe in
# Tessil's program folder. Tessil starts the stand-in EcoSim, which runs
# inside Tessil, by opening this file. Run from a shell, it runs one
# co-occurrence test on a presence-absence matrix file with the engine the
# stand-in uses, and prints EcoSim's results text:
#
#   EcoSim/EcoSim700.exe mydata.csv --index v-ratio --empty-sites include
#
# (every option of `tessil-cli test --help`).
exec "$(dirname "$0")/../tessil-cli" test "$@"
