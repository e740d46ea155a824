function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGV} failed (${result}):\n${out}\n${err}")
  endif()
endfunction()
file(REMOVE_RECURSE ${PREFIX} ${CONSUMER_BUILD})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})
run(${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${CONSUMER_BUILD} -DCMAKE_PREFIX_PATH=${PREFIX})
run(${CMAKE_COMMAND} --build ${CONSUMER_BUILD})
run(${CONSUMER_BUILD}/consumer ${CONSUMER_BUILD}/consumer.db)

# The pkg-config file, found beside the CMake package.
set(ENV{PKG_CONFIG_PATH} ${PREFIX}/${LIBDIR}/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs VELZORGfmApi OUTPUT_VARIABLE flags
                RESULT_VARIABLE result OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "pkg-config does not find VELZORGfmApi in ${PREFIX}/${LIBDIR}/pkgconfig")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${CXX} ${CONSUMER_SOURCE}/main.cpp ${flags} -Wl,-rpath,${PREFIX}/${LIBDIR}
    -o ${CONSUMER_BUILD}/consumer-pkg-config)
run(${CONSUMER_BUILD}/consumer-pkg-config ${CONSUMER_BUILD}/consumer-pkg-config.db)

# The Python package, where Debian's interpreter looks for packages of that prefix.
if(PYTHON)
  run(${PYTHON} -c "import site, sys; sys.exit('/usr/local/${PYTHON_DIR}' not in site.getsitepackages())")
  set(ENV{PYTHONPATH} ${PREFIX}/${PYTHON_DIR})
  run(${PYTHON} -c "import numpy, velzorgfm; p = numpy.eye(4, 3); m = velzorgfm.Mapper(p, None, p, method='nearest'); assert (m.map(p) == p).all(); assert velzorgfm.__file__.startswith('${PREFIX}')")
endif()
