#include "../table/TableModel.h"
