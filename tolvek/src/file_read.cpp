#include "tolvek/file_read.h"
