#include "d88/d88.h"
