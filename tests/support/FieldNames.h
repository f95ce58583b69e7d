#pragma once

#include <QStringList>

class QWidget;

// What a screen reader calls the fields of a window, as Qt's accessibility
// interfaces give it: a field's own name, or else the label whose buddy it is.
// A drop-down named by one of its choices, or a spin box by its value, counts
// as unnamed.
class FieldNames
{
public:
    // "objectName (class)" of every field below root that has no name, hidden ones included.
    static QStringList unnamed(const QWidget& root);
    // The name of one field below root; empty when it has none.
    static QString nameOf(const QWidget& root, const QWidget& field);
};
