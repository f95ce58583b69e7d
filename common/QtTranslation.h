#pragma once

class QTranslator;

// Qt's own Russian texts ("qtbase_ru" from Qt's translations directory): the
// standard buttons, file dialogs and command-line messages of both programs.
class QtTranslation
{
public:
    // Loads the translation and installs it on the running application.
    // Returns the installed translator (owned by the application), or nullptr
    // when the translation is not there: Qt's English texts then stay.
    static QTranslator* install();
};
