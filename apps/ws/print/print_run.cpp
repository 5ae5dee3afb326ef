#include "print/print_run.h"

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "db/value.h"
#include "framework/document.h"
#include "host/dialogs.h"
#include "host/events.h"
#include "host/registry.h"
#include "platform/menu_model.h"
#include "platform/print_data.h"
#include "platform/print_template.h"
#include "platform/system_object.h"
#include "render/pdf_render.h"
#include "shop/module_controls.h"
#include "shop/script/unattended.h"

namespace ws::cli {

namespace fs = std::filesystem;

namespace {

PrintOutcome Usage(std::string error) {
  PrintOutcome outcome;
  outcome.error = std::move(error);
  outcome.usage = true;
  return outcome;
}

PrintOutcome Failure(std::string error) {
  PrintOutcome outcome;
  outcome.error = std::move(error);
  return outcome;
}

const platform::MenuEntry* FindEntry(const platform::MenuModel& menu, const std::string& name) {
  const bool number = !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
  return number ? menu.FindProgram(std::stoll(name)) : menu.FindClass(name);
}

}  // namespace

PrintOutcome PrintDocumentPdf(db::IDatabase& database, const PrintRequest& request) {
  platform::MenuModel menu;
  if (std::string error = menu.Load(database); !error.empty()) {
    return Failure("cannot read the program menu: " + error);
  }
  const platform::MenuEntry* entry = FindEntry(menu, request.program);
  if (!entry) return Usage("the shop has no program '" + request.program + "'");

  if (platform::MenuGroupOf(entry->className) != "单据") {
    return Usage(entry->className + " (" + entry->caption + ") is not a document");
  }
  host::Registry registry;
  shop::RegisterModuleControls(registry);
  std::unique_ptr<host::IControl> control = registry.Create(entry->className);
  if (!control) {
    return Usage("this tool cannot print " + entry->className + " (" + entry->caption + ")");
  }
  host::IFormUI* form = control->AsFormUI();
  if (!form) return Usage(entry->className + " (" + entry->caption + ") is not a document");

  shop::TemporaryFolder temporary("ws_print_");
  host::LoginInfo login;
  login.userName = request.user;
  login.loginDate = request.date;
  login.workFolder = request.workFolder.empty() ? temporary.Path().string() : request.workFolder;
  login.frontEnd = "ws";
  if (login.workFolder.empty()) return Failure("cannot make a temporary work folder");

  shop::UnattendedDialogs dialogs;
  platform::SystemObject system(database, dialogs, login);
  shop::ErrorCollector sink;
  control->Events().AttachSink(&sink);
  PrintOutcome outcome;
  auto failed = [&](const std::string& what) {
    std::string text = what;
    if (!sink.errors.empty()) text += ": " + sink.errors;
    if (!dialogs.boxes.empty()) text += ": " + dialogs.boxes;
    return text;
  };

  int64_t documentId = request.documentId;
  if (!request.documentNumber.empty()) {
    auto* document = dynamic_cast<framework::Document*>(control.get());
    if (!document) return Usage(entry->caption + " has no document number");
    form->Init(system, entry->programNumber, 0);
    std::string error;
    documentId = document->IdOfNumber(request.documentNumber, &error);
    if (!error.empty()) return Failure(failed(error));
    if (documentId <= 0) {
      return Usage("no " + entry->caption + " numbered '" + request.documentNumber + "'");
    }
  }
  form->Init(system, entry->programNumber, documentId);
  form->Refresh();
  if (form->GetID() != documentId) {
    std::string error = failed("no " + entry->caption + " with id " + std::to_string(documentId));
    form->Clear();
    outcome = sink.errors.empty() ? Usage(error) : Failure(error);
    return outcome;
  }
  if (!form->DoPrint()) {
    outcome = Failure(failed("the print of " + entry->caption + " failed"));
    form->Clear();
    return outcome;
  }
  const std::string printName = form->ReturnPrintName();
  form->Clear();
  platform::PrintFile file = platform::ReadPrintFile(printName);
  if (!file.error.empty()) return Failure("cannot read the print file: " + file.error);

  platform::LoadedTemplate page = platform::LoadPrintTemplate(
      system.GetDatabase(), entry->programNumber, platform::PrintKind::Document);
  if (!page.error.empty()) return Usage(page.error);
  const platform::PrintHeader header = platform::PrintHeaderFromSystem(system, entry->caption);
  if (std::string error =
          print::WritePdf(page.page.Render(file, header), entry->caption, request.pdfPath);
      !error.empty()) {
    return Failure(error);
  }
  outcome.templateUsed = page.source;
  return outcome;
}

}  // namespace ws::cli
