// The host interfaces a control implements. Operation names and slot order follow the host
// contract; a control answers through return values and events. No operation lets a failure
// escape to the host.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/conditions.h"
#include "host/events.h"
#include "host/parameters.h"
#include "host/property_bag.h"

namespace ws::forms {
class Form;
}

namespace ws::host {

class ISystem;

// A column a control's list can be searched and filtered by: the column as the control's
// statement names it ("WSDJ.工单号码"), what the user reads, and how values are compared (text
// with "like" or "=", numbers with "=", ">=", "<=", dates from/to).
enum class FindKind { Text, Number, Date };
struct FindColumn {
  std::string column;
  std::string caption;
  FindKind kind = FindKind::Text;
};

// Document controls and master cards and lists.
class IFormUI {
 public:
  virtual ~IFormUI() = default;
  virtual bool Init(ISystem& system, int64_t programNumber, int64_t requestedId) = 0;  // 1
  virtual bool Clear() = 0;                                                             // 2
  virtual bool FileNew() = 0;                                                           // 3
  virtual bool FileNewNext() = 0;                                                       // 4
  virtual bool FileEdit() = 0;                                                          // 5
  virtual bool FileDelete() = 0;                                                        // 6
  virtual bool FileSave() = 0;                                                          // 7
  virtual bool FileCancel() = 0;                                                        // 8
  virtual bool Find(const Conditions& conditions) = 0;                                  // 9
  virtual bool FindNext() = 0;                                                          // 10
  virtual bool Filter(const Conditions& conditions) = 0;                                // 11
  virtual bool Refresh() = 0;                                                           // 12
  virtual bool RecordTop() = 0;                                                         // 13
  virtual bool RecordPrevious() = 0;                                                    // 14
  virtual bool RecordNext() = 0;                                                        // 15
  virtual bool RecordBottom() = 0;                                                      // 16
  virtual bool Check() = 0;                                                             // 17
  virtual bool UnCheck() = 0;                                                           // 18
  virtual bool PrintPreview() = 0;                                                      // 19
  virtual bool DoPrint() = 0;                                                           // 20
  virtual bool PrintSetup() = 0;                                                        // 21
  virtual bool Help() = 0;                                                              // 22
  virtual bool DoSetStatus(const std::string& statusWord, bool stamp) = 0;              // 23
  virtual int64_t GetID() = 0;                                                          // 24
  virtual bool CheckStatus(const std::string& ignored) = 0;                             // 25
  virtual std::string ReturnPrintName() = 0;                                            // 26
  virtual bool IsDirty() = 0;                                                           // 27
  virtual void DoGetFormStatus() = 0;                                                   // 28
  virtual void DoSaveFormStatus() = 0;                                                  // 29
  virtual std::string Attributes(int64_t attribute) = 0;                                // 30

  // Beyond the host contract, for front ends: whether the control is editing a record (New or
  // Edit pressed, not yet saved or cancelled), and the columns its Find and Filter take. A
  // control without either answers false and no columns.
  virtual bool Editing() const { return false; }
  virtual std::vector<FindColumn> FindColumns() const { return {}; }
};

// Report controls.
class IReportUI {
 public:
  virtual ~IReportUI() = default;
  virtual bool Init(ISystem& system, int64_t programNumber) = 0;  // 1
  virtual bool Clear() = 0;                                       // 2
  virtual bool Find() = 0;                                        // 3
  virtual bool FindNext() = 0;                                    // 4
  virtual bool Filter() = 0;                                      // 5
  virtual bool Refresh() = 0;                                     // 6
  virtual bool RecordTop() = 0;                                   // 7
  virtual bool RecordPrevious() = 0;                              // 8
  virtual bool RecordNext() = 0;                                  // 9
  virtual bool RecordBottom() = 0;                                // 10
  virtual bool PrintPreview() = 0;                                // 11
  virtual bool DoPrint() = 0;                                     // 12
  virtual bool PrintSetup() = 0;                                  // 13
  virtual bool Help() = 0;                                        // 14
  virtual std::string ReturnPrintName() = 0;                      // 15
  virtual void DoGetFormStatus(const std::string& fileName) = 0;  // 16
  virtual void DoSaveFormStatus(const std::string& fileName) = 0;  // 17
  virtual std::string Attributes() = 0;                           // 18
  virtual forms::Form* oTable() = 0;                              // 19
  virtual ParametersPtr GetParameters() = 0;                      // 20
  virtual void SetParameters(ParametersPtr parameters) = 0;       // 21
};

// Drop-down pickers.
class IPickerUI {
 public:
  virtual ~IPickerUI() = default;
  virtual bool Init(ISystem& system, int64_t number, const std::string& text) = 0;  // 1
  virtual bool Clear() = 0;                                                        // 2
  virtual bool Refresh() = 0;                                                      // 3
  virtual bool GetIsDirty() = 0;                                                   // 4
  virtual void SetIsDirty(bool dirty) = 0;                                         // 5
  virtual void DoGetFormStatus() = 0;                                              // 6
  virtual void DoSaveFormStatus() = 0;                                             // 7
  virtual std::string Attributes(const std::string& name) = 0;                     // 8
  virtual ParametersPtr GetParameters() = 0;                                       // 9
  virtual void SetParameters(ParametersPtr parameters) = 0;                        // 10
  virtual std::string GetValue() = 0;                                              // 11
  virtual void SetValue(const std::string& value) = 0;                             // 12
  virtual std::string GetText() = 0;                                               // 13
  virtual void SetText(const std::string& text) = 0;                               // 14
  virtual const PropertyBag& Objects() = 0;                                        // 15
  // Resolves typed text to a row; the out parameters receive the value and text.
  virtual bool Validate(const std::string& text1, const std::string& text2,
                        const std::string& text3, const std::string& typed,
                        std::string& outValue, std::string& outText) = 0;  // 16
};

class IDesignUI {
 public:
  virtual ~IDesignUI() = default;
  virtual forms::Form& Controls() = 0;
  // A collection holding "backcolor" sets the background colour; the collection is kept.
  virtual void SetParameters(ParametersPtr parameters) = 0;
  virtual ParametersPtr GetParameters() = 0;
};

class IFormToolUI {
 public:
  virtual ~IFormToolUI() = default;
  virtual bool Tools() = 0;
  virtual bool Action(const std::string& name) = 0;
};

// What every control of the module is, whatever interfaces it implements: created by name
// through the registry, with a form to render and an event source for the host's sink.
class IControl {
 public:
  virtual ~IControl() = default;
  virtual std::string ClassName() const = 0;
  virtual forms::Form& Form() = 0;
  virtual EventSource& Events() = 0;

  virtual IFormUI* AsFormUI() { return nullptr; }
  virtual IReportUI* AsReportUI() { return nullptr; }
  virtual IPickerUI* AsPickerUI() { return nullptr; }
  virtual IDesignUI* AsDesignUI() { return nullptr; }
  virtual IFormToolUI* AsFormToolUI() { return nullptr; }
};

}  // namespace ws::host
