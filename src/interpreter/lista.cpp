// Named lists of texts and the LISTA command: a table of 20 entries, each
// empty or holding one list with its exact name and its items in order.
#include "interpreter/lista.h"

#include "interpreter/values.h"
#include "platform/text.h"
#include "speech/speech.h"

namespace {

constexpr int MAX_LISTS = 20;

struct ListEntry {
    bool used = false;
    std::string name;
    std::vector<std::string> items;
};

ListEntry lists[MAX_LISTS];

ListEntry* entryNamed(std::string_view name) {
    for (ListEntry& e : lists)
        if (e.used && e.name == name) return &e;
    return nullptr;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperLatin(a[i]) != upperLatin(b[i])) return false;
    return true;
}

bool createList(std::string_view name) {
    if (entryNamed(name)) {
        writeLineSpeak("A lista especificada j\xE1 existe");
        return false;
    }
    for (ListEntry& e : lists) {
        if (!e.used) {
            e.used = true;
            e.name.assign(name);
            e.items.clear();
            return true;
        }
    }
    writeLineSpeak("Muitas listas no programa (m\xE1ximo 20)");
    return false;
}

bool deleteList(std::string_view name) {
    ListEntry* e = entryNamed(name);
    if (!e) return false;
    *e = ListEntry{};
    return true;
}

bool itemOf(const ListEntry& list, std::string_view args) {
    std::string position;
    int32_t index;
    int target;
    if (!readValue(args, position) || !convertInteger(position, index) || !readVariable(args, target))
        return false;
    if (index < 0 || static_cast<size_t>(index) >= list.items.size()) return false;
    variable(target) = list.items[static_cast<size_t>(index)];
    return true;
}

bool deleteItem(ListEntry& list, std::string_view args) {
    std::string value;
    if (!readValue(args, value)) return false;
    for (auto it = list.items.begin(); it != list.items.end(); ++it) {
        if (sameIgnoringCase(*it, value)) {
            list.items.erase(it);
            return true;
        }
    }
    return false;
}

} // namespace

void resetLists() {
    for (ListEntry& e : lists) e = ListEntry{};
}

const std::vector<std::string>* findList(std::string_view name) {
    const ListEntry* e = entryNamed(name);
    return e ? &e->items : nullptr;
}

bool readListName(std::string_view& text, std::string_view& name) {
    if (text.size() < 2 || text[0] != '[') return false;
    size_t close = text.find(']', 2);
    if (close == std::string_view::npos) return false;
    name = text.substr(1, close - 1);
    text = trimView(text.substr(close + 1));
    return true;
}

bool commandLista(std::string_view args) {
    args = trimView(args);
    std::string_view name;
    if (!readListName(args, name)) return false;

    static const char* const SUBCOMMANDS[] = {"CRIA", "APAGA", "TAMANHO", "ITEM", "ADICIONA", "DELETA"};
    std::string_view sub;
    for (const char* s : SUBCOMMANDS) {
        if (startsWithUpperLatin(args, s)) {
            sub = s;
            break;
        }
    }
    if (sub.empty()) return false;
    args = trimView(args.substr(sub.size()));

    if (sub == "CRIA") return args.empty() && createList(name);
    if (sub == "APAGA") return args.empty() && deleteList(name);
    ListEntry* list = entryNamed(name);
    if (!list) return false;
    if (sub == "TAMANHO") {
        int target;
        if (!readVariable(args, target)) return false;
        variable(target) = decimal(static_cast<int64_t>(list->items.size()));
        return true;
    }
    if (sub == "ITEM") return itemOf(*list, args);
    if (sub == "ADICIONA") {
        std::string value;
        if (!readValue(args, value)) return false;
        list->items.push_back(std::move(value));
        return true;
    }
    return deleteItem(*list, args);
}
