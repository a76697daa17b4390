# The three libraries: static by default (the tests reach their private
# classes), shared with -DKESTRUM_SHARED=ON. Either way only what carries an
# export mark (common/Export.h, gui/platform/Export.h) is visible, so the
# shared libraries' ABI is the public API and nothing else.
if(KESTRUM_SHARED)
  set(KESTRUM_LIBRARY_TYPE SHARED)
else()
  set(KESTRUM_LIBRARY_TYPE STATIC)
endif()

function(kestrum_library target export_name)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    EXPORT_NAME ${export_name}
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}
    POSITION_INDEPENDENT_CODE ON)
  add_library(Kestrum::${export_name} ALIAS ${target})
  set_property(GLOBAL APPEND PROPERTY KESTRUM_INSTALLED_LIBRARIES ${target})
endfunction()
