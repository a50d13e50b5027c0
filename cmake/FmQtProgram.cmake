# fm_qt_program(<target>): a program that runs Qt widgets. A static Qt (the one built for Windows)
# links its plugins into each program: the platform of the system (Qt's default), and here also
# the offscreen one, which the tests and runs without a display use.
function(fm_qt_program target)
  get_target_property(qt_core_type Qt6::Core TYPE)
  if(qt_core_type STREQUAL "STATIC_LIBRARY")
    qt_import_plugins(${target} INCLUDE Qt6::QOffscreenIntegrationPlugin)
  endif()
endfunction()
