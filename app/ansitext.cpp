#include "ansitext.h"

namespace ansi {

namespace {

bool IsBreak(QChar C)
{
    return C == u'\n' || C == QChar::ParagraphSeparator || C == QChar::LineSeparator;
}

} // namespace

QString CommentFromStored(const std::string& Text)
{
    const QString Raw = QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
    QString Out;
    Out.reserve(Raw.size());
    for (qsizetype I = 0; I < Raw.size(); ++I) {
        const QChar C = Raw[I];
        if (C == u'\r') {
            if (I + 1 < Raw.size() && Raw[I + 1] == u'\n')
                ++I;
            Out += u'\n';
        } else {
            Out += C;
        }
    }
    return Out;
}

qsizetype StoredLength(const QString& Text)
{
    qsizetype N = Text.size();
    for (QChar C : Text)
        if (IsBreak(C))
            ++N;
    return N;
}

} // namespace ansi
