#include "SettingsSections.h"

#include "SettingsDocument.h"
#include "SimpleXML.h"

bool StoreSection(CSimpleXML& settings, const char* name, const CSimpleXML& section) {
    while (settings.Count(name) > 0) {
        if (!settings.RemoveNode(name, 0)) {
            return false;
        }
    }
    return settings.AddXML(kSettingsRoot, section, 0) && settings.Save(kSettingsFile);
}

bool TakeSection(CSimpleXML& settings, const char* name, CSimpleXML& section) {
    return settings.Count(name) > 0 && settings.GetXML(section, name, 0);
}
