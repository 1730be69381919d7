// The database operations over ADO ("ADODB.Connection", "ADODB.Recordset")
// and the Jet 4.0 OLE DB provider, on the GUI thread's single-threaded COM
// apartment.
//
// Every ADO call reports through its HRESULT; each failure is caught here and
// becomes the operation's result, with the provider's description kept as
// LastError.  Texts cross into ADO as BSTRs through the project's codec.
//
// SELECT statements open the record set (client cursor, static, optimistic,
// command text).  Statements that return no rows run through the connection's
// Execute instead, which also tells how many rows they changed; the record
// set is closed then, exactly as if it had opened them.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <adoint.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "store/database.h"
#include "text/gb18030.h"

namespace store {
namespace {

// _Connection and _Recordset of ADO 2.5 and later (every Windows since 2000).
constexpr GUID kIidConnection = {0x00001550, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
constexpr GUID kIidRecordset = {0x00001556, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

constexpr long kStateOpen = 1;            // adStateOpen
constexpr long kOptionUnspecified = -1;   // adOptionUnspecified
constexpr long kCmdText = 1;              // adCmdText
constexpr long kExecuteNoRecords = 0x80;  // adExecuteNoRecords

// A COM interface pointer released when it goes.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** Receive() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  explicit Bstr(std::string_view gb) {
    const std::u16string utf16 = text::Utf16FromGb18030(gb);
    b_ = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(utf16.data()), static_cast<UINT>(utf16.size()));
  }
  explicit Bstr(const wchar_t* wide) : b_(SysAllocString(wide)) {}
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }

 private:
  BSTR b_;
};

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT& get() { return v_; }

 private:
  VARIANT v_;
};

// The variant holds the text as a BSTR (and frees it when it goes).
void HoldText(Variant& variant, std::string_view gb) {
  const std::u16string utf16 = text::Utf16FromGb18030(gb);
  VariantClear(&variant.get());
  V_VT(&variant.get()) = VT_BSTR;
  V_BSTR(&variant.get()) =
      SysAllocStringLen(reinterpret_cast<const OLECHAR*>(utf16.data()), static_cast<UINT>(utf16.size()));
}

std::string Utf8(const wchar_t* wide, size_t length) {
  return text::Utf8FromGb18030(
      text::Gb18030FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(wide), length)));
}

// The provider's description of the failure, or the HRESULT in hex.
std::string DescribeFailure(HRESULT hr) {
  IErrorInfo* info = nullptr;
  std::string message;
  if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
    BSTR description = nullptr;
    if (SUCCEEDED(info->GetDescription(&description)) && description != nullptr) {
      message = Utf8(description, SysStringLen(description));
      SysFreeString(description);
    }
    info->Release();
  }
  if (message.empty()) {
    char hex[32];
    std::snprintf(hex, sizeof hex, "HRESULT 0x%08lX", static_cast<unsigned long>(hr));
    message = hex;
  }
  return message;
}

template <typename T>
HRESULT CreateByProgId(const wchar_t* progId, const GUID& iid, ComRef<T>& out) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(progId, &clsid);
  if (FAILED(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(out.Receive()));
}

bool IsRowReturning(std::string_view statement) {
  size_t i = 0;
  while (i < statement.size() && (statement[i] == ' ' || statement[i] == '\t' || statement[i] == '\r' ||
                                  statement[i] == '\n' || statement[i] == '('))
    ++i;
  static constexpr std::string_view kSelect = "select";
  if (statement.size() - i < kSelect.size()) return false;
  for (size_t k = 0; k < kSelect.size(); ++k) {
    const char c = statement[i + k];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != kSelect[k]) return false;
  }
  return true;
}

// A field's value as the program's text.
Text TextOfValue(VARIANT& value) {
  switch (V_VT(&value)) {
    case VT_EMPTY:
    case VT_NULL:
      return Text();
    case VT_BOOL:
      return V_BOOL(&value) ? "TRUE" : "FALSE";
    case VT_DATE: {
      SYSTEMTIME t{};
      if (!VariantTimeToSystemTime(V_DATE(&value), &t)) return Text();
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                    t.wMinute, t.wSecond);
      return buffer;
    }
    case VT_BSTR:
      return text::Gb18030FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(V_BSTR(&value)),
                                                        SysStringLen(V_BSTR(&value))));
    default: {
      // Numbers in the invariant locale: decimal digits, '.' as the point.
      Variant converted;
      if (FAILED(VariantChangeTypeEx(&converted.get(), &value, LOCALE_INVARIANT, 0, VT_BSTR))) return Text();
      return TextOfValue(converted.get());
    }
  }
}

}  // namespace

struct DBConnection::Impl {
  ComRef<_ADOConnection> connection;
  std::string lastError;

  bool IsOpen() const {
    LONG state = 0;
    return connection && SUCCEEDED(connection->get_State(&state)) && (state & kStateOpen) != 0;
  }
};

struct RecordSet::Impl {
  ComRef<_ADORecordset> recordset;
  DBConnection::Impl* connection = nullptr;  // the attached one, not owned
  long rowsAffected = -1;
  std::string lastError;

  bool IsOpen() const {
    LONG state = 0;
    return recordset && SUCCEEDED(recordset->get_State(&state)) && (state & kStateOpen) != 0;
  }
  bool AtRecord() const {
    if (!IsOpen()) return false;
    VARIANT_BOOL bof = VARIANT_TRUE, eof = VARIANT_TRUE;
    if (FAILED(recordset->get_BOF(&bof)) || FAILED(recordset->get_EOF(&eof))) return false;
    return bof == VARIANT_FALSE && eof == VARIANT_FALSE;
  }
  int Fail(HRESULT hr) {
    lastError = DescribeFailure(hr);
    return 0;
  }
};

// The ADO objects come into being with their components; without ADO they
// stay empty and every operation refuses.
DBConnection::DBConnection() : impl_(std::make_unique<Impl>()) {
  const HRESULT hr = CreateByProgId(L"ADODB.Connection", kIidConnection, impl_->connection);
  if (FAILED(hr)) impl_->lastError = DescribeFailure(hr);
}

DBConnection::~DBConnection() {
  if (impl_->IsOpen()) impl_->connection->Close();
}

RecordSet::RecordSet() : impl_(std::make_unique<Impl>()) {
  const HRESULT hr = CreateByProgId(L"ADODB.Recordset", kIidRecordset, impl_->recordset);
  if (FAILED(hr)) impl_->lastError = DescribeFailure(hr);
}

RecordSet::~RecordSet() {
  if (impl_->IsOpen()) impl_->recordset->Close();
}

int ConnectAccess(DBConnection& connection, const Text& path, const Text& password) {
  DBConnection::Impl& c = *connection.impl();
  if (!c.connection) return 0;
  if (c.IsOpen()) c.connection->Close();
  Text connectionString = "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path;
  if (!password.empty()) connectionString += ";Jet OLEDB:Database Password=" + password + ";";
  const Bstr source(connectionString), user(L""), secret(L"");
  const HRESULT hr = c.connection->Open(source.get(), user.get(), secret.get(), kOptionUnspecified);
  if (FAILED(hr)) {
    c.lastError = DescribeFailure(hr);
    return 0;
  }
  c.lastError.clear();
  return 1;
}

int AttachConnection(RecordSet& recordSet, DBConnection& connection) {
  recordSet.impl()->connection = connection.impl();
  return 1;
}

namespace {

int ExecuteWithoutRows(RecordSet::Impl& r, const Text& statement) {
  const Bstr command(statement);
  Variant affected;
  ComRef<_ADORecordset> none;
  const HRESULT hr = r.connection->connection->Execute(command.get(), &affected.get(), kCmdText | kExecuteNoRecords,
                                                       none.Receive());
  if (FAILED(hr)) return r.Fail(hr);
  Variant count;
  if (SUCCEEDED(VariantChangeType(&count.get(), &affected.get(), 0, VT_I4))) r.rowsAffected = V_I4(&count.get());
  return 1;
}

int OpenRows(RecordSet::Impl& r, const Text& statement, int kind) {
  HRESULT hr = r.recordset->put_CursorLocation(adUseClient);
  if (FAILED(hr)) return r.Fail(hr);
  Variant source, active;
  HoldText(source, statement);
  V_VT(&active.get()) = VT_DISPATCH;
  V_DISPATCH(&active.get()) = r.connection->connection.get();
  r.connection->connection->AddRef();  // released with the variant
  hr = r.recordset->Open(source.get(), active.get(), adOpenStatic, adLockOptimistic, kind);
  if (FAILED(hr)) return r.Fail(hr);
  return 1;
}

}  // namespace

int OpenRecordSet(RecordSet& recordSet, const Text& statement, int kind) {
  RecordSet::Impl& r = *recordSet.impl();
  r.rowsAffected = -1;
  if (!r.recordset) return 0;
  if (r.IsOpen()) r.recordset->Close();
  if (r.connection == nullptr || !r.connection->connection) {
    r.lastError = "no connection attached";
    return 0;
  }
  r.lastError.clear();
  if (kind == kCmdText && !IsRowReturning(statement)) return ExecuteWithoutRows(r, statement);
  return OpenRows(r, statement, kind);
}

int RecordCount(const RecordSet& recordSet) {
  const RecordSet::Impl& r = *recordSet.impl();
  if (!r.IsOpen()) return -1;
  long count = -1;
  if (FAILED(r.recordset->get_RecordCount(&count))) return -1;
  return static_cast<int>(count);
}

int MoveFirst(RecordSet& recordSet) {
  RecordSet::Impl& r = *recordSet.impl();
  if (!r.IsOpen()) return 0;
  const HRESULT hr = r.recordset->MoveFirst();
  return FAILED(hr) ? r.Fail(hr) : 1;
}

int MoveNext(RecordSet& recordSet) {
  RecordSet::Impl& r = *recordSet.impl();
  if (!r.AtRecord()) return 0;  // closed, or already on the end position
  const HRESULT hr = r.recordset->MoveNext();
  return FAILED(hr) ? r.Fail(hr) : 1;
}

int ReadFieldText(RecordSet& recordSet, const Text& column, Text& value) {
  value.clear();
  RecordSet::Impl& r = *recordSet.impl();
  if (!r.AtRecord()) return 0;
  ComRef<ADOFields> fields;
  HRESULT hr = r.recordset->get_Fields(fields.Receive());
  if (FAILED(hr)) return r.Fail(hr);
  Variant name;
  HoldText(name, column);
  ComRef<ADOField> field;
  hr = fields->get_Item(name.get(), field.Receive());
  if (FAILED(hr)) return r.Fail(hr);
  Variant fieldValue;
  hr = field->get_Value(&fieldValue.get());
  if (FAILED(hr)) return r.Fail(hr);
  value = TextOfValue(fieldValue.get());
  return 1;
}

void CloseRecordSet(RecordSet& recordSet) {
  RecordSet::Impl& r = *recordSet.impl();
  if (r.IsOpen()) r.recordset->Close();
}

int CloseConnection(DBConnection& connection) {
  DBConnection::Impl& c = *connection.impl();
  if (c.IsOpen()) c.connection->Close();
  return 1;
}

long RowsAffected(const RecordSet& recordSet) { return recordSet.impl()->rowsAffected; }

std::string LastError(const RecordSet& recordSet) { return recordSet.impl()->lastError; }

std::string LastError(const DBConnection& connection) {
  // The contract gives the connection no const access to its state.
  return const_cast<DBConnection&>(connection).impl()->lastError;
}

}  // namespace store
