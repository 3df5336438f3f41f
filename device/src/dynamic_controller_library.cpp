#include "kavr/dynamic_controller_library.h"
