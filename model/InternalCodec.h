#pragma once

#include "CharsetCodec.h"

// The register's own character set, "RU-internal-866".
class InternalCodec : public CharsetCodec
{
public:
    InternalCodec();
};
