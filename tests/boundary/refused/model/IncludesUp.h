#pragma once

#include "device/RegisterLink.h"
