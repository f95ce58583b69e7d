#pragma once

class QTextCodec;

// The register's two character sets: its own ("RU-internal-866"), in which
// single cells are read, and code page 866 as it prints it ("RU-866"), in
// which whole rows are read and every text is written. The codecs belong to
// whoever made them and outlive every user of this pair.
struct RegisterCharsets
{
    QTextCodec* internal = nullptr;
    QTextCodec* external = nullptr;
};
