#pragma once

#include <QString>
#include <QtGlobal>

#include <utility>

namespace cantavo {

// The windows' layouts give sizes in twips, 15 to a pixel.
inline int TwipsToPixels(int twips) { return qRound(twips / 15.0); }

// A widget made with its layout name as its object name: the name tests find it by.
template <typename W, typename... Args>
W* NamedWidget(const char* name, Args&&... args) {
    auto* w = new W(std::forward<Args>(args)...);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

}  // namespace cantavo
