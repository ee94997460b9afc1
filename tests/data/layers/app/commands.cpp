#include "app/main.h"
#include "reports/window.h"
#include <QString>
