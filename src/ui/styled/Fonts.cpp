#include "Fonts.h"

#include <QStringList>

void InstallDesignFonts()
{
    static const bool installed = [] {
        QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans")});
        QFont::insertSubstitutions(QStringLiteral("굴림"),
                                   {QStringLiteral("Baekmuk Gulim"), QStringLiteral("NanumGothic")});
        QFont::insertSubstitutions(QStringLiteral("돋움"),
                                   {QStringLiteral("Baekmuk Dotum"), QStringLiteral("NanumGothic")});
        QFont::insertSubstitutions(QStringLiteral("굴림체"),
                                   {QStringLiteral("NanumGothicCoding"), QStringLiteral("Baekmuk Gulim")});
        return true;
    }();
    (void)installed;
}

QFont DesignFont(const QString& family, int pixels)
{
    InstallDesignFonts();
    QFont font(family);
    font.setPixelSize(pixels);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}
