# Installs the stand-in EcoSim's program file where Tessil looks for
# EcoSim700.exe, executable. Run with -DSOURCE=... -DTARGET=...
get_filename_component(folder "${TARGET}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
file(COPY_FILE "${SOURCE}" "${TARGET}")
file(CHMOD "${TARGET}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)
