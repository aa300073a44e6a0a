#include "verbs.h"

#include "rotationverbs.h"

namespace cantavo {

const std::vector<CommandVerb>& Verbs() {
    static const std::vector<CommandVerb> verbs = [] {
        std::vector<CommandVerb> all;
        for (const auto& from : {RotationVerbs()}) all.insert(all.end(), from.begin(), from.end());
        return all;
    }();
    return verbs;
}

const CommandVerb* FindVerb(const QStringList& arguments) {
    if (arguments.size() < 2) return nullptr;
    for (const CommandVerb& v : Verbs())
        if (arguments[1] == v.option) return &v;
    return nullptr;
}

QString VerbsHelp() {
    QString text, group;
    for (const CommandVerb& v : Verbs()) {
        if (v.group != group) text += QLatin1Char('\n') + v.group + QStringLiteral(":\n");
        group = v.group;
        text += v.help + QLatin1Char('\n');
    }
    return text;
}

}  // namespace cantavo
