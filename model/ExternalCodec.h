#pragma once

#include "CharsetCodec.h"

// Code page 866 as the register prints it, "RU-866".
class ExternalCodec : public CharsetCodec
{
public:
    ExternalCodec();
};
