#include "tolvek/temp_files.h"
