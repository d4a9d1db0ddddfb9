#include "common/verbose.h"

int verbose_flag = 0;
