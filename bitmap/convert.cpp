#include "bitmap/bitmap.h"
