# Locates the OpenCV modules we use from Debian's split packages
# (libopencv-{core,imgproc,imgcodecs,video}-dev). Those packages ship no CMake
# package configuration, so we find the headers and libraries ourselves and
# expose one imported target, colc::opencv.
find_path(COLC_OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
set(_colc_opencv_libs)
foreach(_module core imgproc imgcodecs video)
  find_library(COLC_OPENCV_${_module}_LIBRARY opencv_${_module} REQUIRED)
  list(APPEND _colc_opencv_libs ${COLC_OPENCV_${_module}_LIBRARY})
endforeach()
if(NOT TARGET colc::opencv)
  add_library(colc::opencv INTERFACE IMPORTED)
  set_target_properties(colc::opencv PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${COLC_OPENCV_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES "${_colc_opencv_libs}")
endif()
