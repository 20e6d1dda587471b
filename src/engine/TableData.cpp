#include "engine/TableData.h"
