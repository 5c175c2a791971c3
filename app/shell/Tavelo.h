#pragma once

// The program's application object: owns the footage library, the segment
// worker and the render settings, builds the document and the main frame,
// chooses the interface language, and keeps keys typed into text fields away
// from the accelerator table. Also the composition's host: it asks for
// footage and starts jobs. UI thread only.

#include <memory>

#include "app/shell/App.h"
#include "app/shell/MainFrame.h"
#include "document/composition/CompositionHost.h"
#include "document/composition/TLComp.h"
#include "document/processing/Processor.h"
#include "lumvex/dll.h"
#include "vortel/settings.h"

class RegistryProfile;

class Tavelo : public My::App<TLComp, MainFrame>, public CompositionHost {
public:
    Tavelo();
    ~Tavelo() override;

    // The settings profile under Software\Norvane\Tavelo, the languages, the
    // language module, then the document and the frame. `executable` is the
    // program's path (the language modules sit beside it).
    bool InitInstance(const std::string& executable);
    bool InitInstance() override;

    bool PreTranslateMessage(CWnd* target, UINT key, UINT modifiers) override;

    // CompositionHost.
    boost::shared_ptr<lumvex::footage> ChooseFootage(bool allow_stills) override;
    void StartMaskExport(TLComp& composition, bool smooth) override;
    void StartRender(TLComp& composition) override;

    lumvex::dll& GetFootageLibrary() { return m_footage; }

protected:
    std::unique_ptr<TLComp> CreateDocument() override;

private:
    void OnAbout();
    void NotAvailable();

    lumvex::dll m_footage;
    Processor m_processor;
    vortel::settings m_renderSettings;
    std::unique_ptr<RegistryProfile> m_profile;
    std::string m_executable;
};
