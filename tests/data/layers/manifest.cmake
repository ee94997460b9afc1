# A made-up program for tests/check_layers.cmake, with one breach of each rule.
set(KOLVA_CORE_LIBRARIES fixture_core)
set(KOLVA_LINKS_fixture_core Qt6::Core Qt6::Gui Qt6::Widgets)
set(KOLVA_CORE_SOURCES platform/jobs.h reports/job.cpp)
set(KOLVA_WIDGET_HEADERS QDialog QWidget)
