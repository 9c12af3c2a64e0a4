// The table pages' sections of the settings document: one element under the root per page,
// replaced whole when saved, and the file written at once.
#pragma once

class CSimpleXML;

// Every earlier section named `name` removed, `section`'s root appended under the settings root,
// and "settings.xml" written. False at the first step that fails.
bool StoreSection(CSimpleXML& settings, const char* name, const CSimpleXML& section);
// The first section named `name` as a document of its own; false when there is none.
bool TakeSection(CSimpleXML& settings, const char* name, CSimpleXML& section);
