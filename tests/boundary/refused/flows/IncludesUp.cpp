#include "journal/JournalSession.h"
#include "device/RegisterLink.h"
