# cmake -D CPACK=<cpack> -D CONFIG=<CPackConfig.cmake> -D OUTPUT=<folder> -P buildpackage.cmake
# Builds the Debian package into a folder of its own, emptied first, so that the
# folder holds exactly the package of the tree as built now.
file(REMOVE_RECURSE ${OUTPUT})
execute_process(COMMAND ${CPACK} -G DEB --config ${CONFIG} -B ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cpack failed (${result})")
endif()
