#include "platform/jobs.h"
