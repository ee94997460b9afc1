# A made-up program for tests/check_layers.cmake, with breaches of each rule:
# its command line (app/commands.*) is not a core library, and its source
# includes a window and the program's entry; the entry may include it.
set(KOLVA_CORE_LIBRARIES fixture_core)
set(KOLVA_REQUIRED_CORE_LIBRARIES fixture_commands)
set(KOLVA_LINKS_fixture_core Qt6::Core Qt6::Gui Qt6::Widgets)
set(KOLVA_CORE_SOURCES platform/jobs.h reports/job.cpp app/commands.h app/commands.cpp)
set(KOLVA_WIDGET_HEADERS QDialog QWidget)
