#include "shapes/shapes.h"
