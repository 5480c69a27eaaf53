#include "platform/Drives.h"
