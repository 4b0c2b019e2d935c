#pragma once
// The GUI language: the ZELO.INI key "Language" as its number. Every text
// of the string table carries the three columns in this order. A file may
// hold any other number; each reader says what it makes of one (the texts
// take the third column, the menus the Japanese ones).

namespace zelo {

enum class Language : int { Japanese = 0, English = 1, Esperanto = 2 };

}  // namespace zelo
