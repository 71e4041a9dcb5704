#include "tolvek/process.h"
