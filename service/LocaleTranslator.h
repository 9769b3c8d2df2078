// SPDX-License-Identifier: MIT
#pragma once

#include <QLocale>
#include <QTranslator>

// The program's texts in the user's language, where a translation is built in; English
// otherwise.
class LocaleTranslator : public QTranslator {
public:
    LocaleTranslator() {
        // Without a translation for the locale the texts stay in English, so a failed load is no error.
        static_cast<void>(
            load(QLocale(), QStringLiteral("vorlixd"), QStringLiteral("_"), QStringLiteral(":/translations")));
    }
};
