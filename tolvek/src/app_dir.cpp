#include "tolvek/app_dir.h"
