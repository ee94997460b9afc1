#pragma once
#include "app/commands.h"
