#include "tolvek/console.h"
