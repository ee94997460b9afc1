#include "platform/jobs.h"
#include "reports/window.h"

#include <QDialog>
#include <QString>
