#pragma once

#include <string>

// The help document's page "When a unit does not answer", built from the causes' own texts so
// that the help says what the program says: every cause's statement and next check, with the
// numbers an exchange fills in shown as "...". HTML, from its <h2> to its last paragraph.
std::string causesHelpPage();
