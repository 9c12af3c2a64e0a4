// The XML document wrapper: lookup by tag and occurrence over the whole document, typed and plain
// values, Windows-1251 files, parse errors that change nothing, buffers and streams.
#include <gtest/gtest.h>

#include <string>

#include "SimpleXML.h"
#include "TestSupport.h"

namespace {

using Wide = std::basic_string<OLECHAR>;

Wide Text(CSimpleXML& xml, LPCSTR tag, LONG index = 0) {
    Wide value;
    EXPECT_TRUE(xml.GetNodeValue2(&value, tag, index)) << tag << " " << index;
    return value;
}

std::string U8(const Wide& text) {
    std::string out(text.size() * 3 + 1, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

CSimpleXML Parsed(const char16_t* text) {
    CSimpleXML xml;
    EXPECT_TRUE(xml.LoadFromStringXML(text));
    return xml;
}

TEST(SimpleXml, OccurrencesCountOverTheWholeDocumentInOrder) {
    CSimpleXML xml = Parsed(u"<R><ITEM>a</ITEM><G><ITEM>b</ITEM></G><ITEM>c</ITEM></R>");
    EXPECT_EQ(xml.Count("ITEM"), 3);
    EXPECT_EQ(Text(xml, "ITEM", 0), u"a");
    EXPECT_EQ(Text(xml, "ITEM", 1), u"b");  // nested, but second in document order
    EXPECT_EQ(Text(xml, "ITEM", 2), u"c");
    Wide value = u"kept";
    EXPECT_FALSE(xml.GetNodeValue2(&value, "ITEM", 3));
    EXPECT_EQ(xml.GetLastError(), E_FAIL);
    EXPECT_EQ(value, u"kept");
    EXPECT_FALSE(xml.GetNodeValue2(&value, "ITEM", -1));
    EXPECT_FALSE(xml.RemoveNode("NONE", 0));
    EXPECT_EQ(xml.GetLastError(), E_FAIL);
    EXPECT_TRUE(xml.RemoveNode("ITEM", 1));
    EXPECT_EQ(Text(xml, "ITEM", 1), u"c");
}

TEST(SimpleXml, SetValueCreatesTheMissingElementAsTheRootsLastChild) {
    CSimpleXML xml = Parsed(u"<R><A>1</A><B>2</B></R>");
    EXPECT_FALSE(xml.SetNodeValue2("C", "3", 0, FALSE));
    EXPECT_EQ(xml.GetLastError(), E_FAIL);
    EXPECT_EQ(xml.Count("C"), 0);
    EXPECT_TRUE(xml.SetNodeValue2("C", "3", 0, TRUE));
    Wide all;
    ASSERT_TRUE(xml.GetXML(&all, "R"));
    EXPECT_EQ(all, u"<R><A>1</A><B>2</B><C>3</C></R>");
    // An index past the existing ones with the flag adds another, as the last one.
    EXPECT_TRUE(xml.SetNodeValue2("A", "x", 1, TRUE));
    EXPECT_EQ(Text(xml, "A", 1), u"x");
    // Without a root there is nowhere to add it.
    CSimpleXML empty;
    EXPECT_FALSE(empty.SetNodeValue2("C", "3", 0, TRUE));
}

TEST(SimpleXml, EmptyRemovesTheRoot) {
    CSimpleXML xml = Parsed(u"<R><A>1</A></R>");
    EXPECT_EQ(xml.IsEmpty(), 0);
    EXPECT_EQ(xml.Empty(), 1);
    EXPECT_EQ(xml.IsEmpty(), 1);
    EXPECT_EQ(xml.Count("A"), 0);
    EXPECT_EQ(xml.Empty(), 1);  // nothing left to remove is no failure
    CSimpleXML none("Other.Document");
    EXPECT_EQ(none.GetLastError(), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(none.HasDocument());
    EXPECT_EQ(none.Empty(), 0);
    EXPECT_EQ(none.IsEmpty(), 1);
    EXPECT_EQ(none.CreateRoot("R"), 0);
    EXPECT_EQ(none.LoadFromStringXML(u"<R/>"), 0);
}

TEST(SimpleXml, CyrillicNarrowTextReadsBackUnchangedAndIsSavedAsWindows1251) {
    testsupport::TempDir dir;
    CSimpleXML xml;
    ASSERT_TRUE(xml.CreateRoot("SETTINGS"));
    const std::string ansi = testsupport::Cp1251("Тест драйвера ФР");
    ASSERT_TRUE(xml.SetNodeValue2("NAME", ansi.c_str(), 0, TRUE));
    char back[64];
    ASSERT_TRUE(xml.GetNodeValue2(CXmlTextOut(back, sizeof back), "NAME"));
    EXPECT_EQ(std::string(back), ansi);
    EXPECT_EQ(Text(xml, "NAME"), u"Тест драйвера ФР");
    // A buffer too short gets as much as fits, terminated.
    char cut[5];
    ASSERT_TRUE(xml.GetNodeValue2(CXmlTextOut(cut, sizeof cut), "NAME"));
    EXPECT_EQ(std::string(cut), ansi.substr(0, 4));

    const std::string path = dir.file("settings.xml");
    ASSERT_TRUE(xml.Save(path.c_str()));
    const std::string bytes = testsupport::ReadFileBytes(path);
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"windows-1251\"?>", 0), 0u) << bytes;
    EXPECT_NE(bytes.find("<NAME>" + ansi + "</NAME>"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find(testsupport::Cp1251("Тест")), bytes.find(ansi));

    CSimpleXML again;
    ASSERT_TRUE(again.Load(path.c_str()));
    EXPECT_EQ(Text(again, "NAME"), u"Тест драйвера ФР");
}

TEST(SimpleXml, TypedValuesReadBackEqualWithTheirTwin) {
    CSimpleXML xml;
    ASSERT_TRUE(xml.CreateRoot("R"));
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = -42;
    ASSERT_TRUE(xml.SetNodeValue("I", value, 0, TRUE));
    value.vt = VT_CY;
    value.cyVal.int64 = 65400;  // 6.54
    ASSERT_TRUE(xml.SetNodeValue("C", value, 0, TRUE));
    value.vt = VT_R8;
    value.dblVal = 0.1;
    ASSERT_TRUE(xml.SetNodeValue("D", value, 0, TRUE));
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    ASSERT_TRUE(xml.SetNodeValue("B", value, 0, TRUE));
    SYSTEMTIME time = {2024, 2, 0, 29, 23, 59, 58, 0};
    value.vt = VT_DATE;
    ASSERT_TRUE(SystemTimeToVariantTime(&time, &value.date));
    const DATE date = value.date;
    ASSERT_TRUE(xml.SetNodeValue("T", value, 0, TRUE));

    VARIANT back;
    ASSERT_TRUE(xml.GetNodeValue(&back, "I"));
    EXPECT_EQ(back.vt, VT_I4);
    EXPECT_EQ(back.lVal, -42);
    ASSERT_TRUE(xml.GetNodeValue(&back, "C"));
    EXPECT_EQ(back.vt, VT_CY);
    EXPECT_EQ(back.cyVal.int64, 65400);
    ASSERT_TRUE(xml.GetNodeValue(&back, "D"));
    EXPECT_EQ(back.vt, VT_R8);
    EXPECT_DOUBLE_EQ(back.dblVal, 0.1);
    ASSERT_TRUE(xml.GetNodeValue(&back, "B"));
    EXPECT_EQ(back.vt, VT_BOOL);
    EXPECT_EQ(back.boolVal, VARIANT_TRUE);
    ASSERT_TRUE(xml.GetNodeValue(&back, "T"));
    EXPECT_EQ(back.vt, VT_DATE);
    EXPECT_DOUBLE_EQ(back.date, date);
    EXPECT_EQ(Text(xml, "T"), u"2024-02-29T23:59:58");

    // Plain text over a typed element drops nothing but is read back as text by its twin; a
    // text through the typed form loses the type.
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(OLESTR("слово"));
    ASSERT_TRUE(xml.SetNodeValue("I", value, 0));
    VariantClear(&value);
    ASSERT_TRUE(xml.GetNodeValue(&back, "I"));
    ASSERT_EQ(back.vt, VT_BSTR);
    EXPECT_EQ(Wide(back.bstrVal), u"слово");
    VariantClear(&back);
    // A type the file cannot name is refused and the element keeps its value.
    value.vt = VT_DISPATCH;
    value.pdispVal = nullptr;
    EXPECT_FALSE(xml.SetNodeValue("C", value, 0));
    EXPECT_EQ(xml.GetLastError(), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Text(xml, "C"), u"6.54");
}

TEST(SimpleXml, AttributesTypedAndPlain) {
    CSimpleXML xml = Parsed(u"<CURRENCY><MNEMO>BYN</MNEMO><MNEMO>USD</MNEMO></CURRENCY>");
    VARIANT two;
    two.vt = VT_UI2;
    two.uiVal = 2;
    ASSERT_TRUE(xml.SetAttribute("MNEMO", "AFTERDOT", two, 1));
    ASSERT_TRUE(xml.SetAttribute2("CURRENCY", "DEFAULT", u"Б&<\"", 0));
    Wide text;
    ASSERT_TRUE(xml.GetAttribute2("CURRENCY", "DEFAULT", &text));
    EXPECT_EQ(text, u"Б&<\"");
    VARIANT back;
    ASSERT_TRUE(xml.GetAttribute("MNEMO", "AFTERDOT", &back, 1, VT_UI2));
    EXPECT_EQ(back.vt, VT_UI2);
    EXPECT_EQ(back.uiVal, 2);
    EXPECT_FALSE(xml.GetAttribute2("MNEMO", "AFTERDOT", &text, 0));
    EXPECT_EQ(xml.GetLastError(), E_FAIL);
    ASSERT_TRUE(xml.RemoveAttribute("MNEMO", 1, "AFTERDOT"));
    EXPECT_FALSE(xml.GetAttribute2("MNEMO", "AFTERDOT", &text, 1));
    EXPECT_FALSE(xml.SetAttribute2("MNEMO", "bad name", u"x", 0));
    EXPECT_EQ(xml.GetLastError(), E_INVALIDARG);
}

TEST(SimpleXml, MalformedInputIsRefusedWithAReasonAndChangesNothing) {
    testsupport::TempDir dir;
    CSimpleXML xml = Parsed(u"<SETTINGS><A>1</A></SETTINGS>");
    const std::string path = dir.file("broken.xml");
    const std::string broken = "<?xml version=\"1.0\"?>\n<SETTINGS><A>1</B></SETTINGS>";
    testsupport::WriteFileBytes(path, broken);
    EXPECT_FALSE(xml.Load(path.c_str()));
    EXPECT_EQ(xml.GetLastError(), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    Wide reason;
    ASSERT_TRUE(xml.GetParseError(&reason));
    EXPECT_EQ(reason.rfind(u"line 2, column ", 0), 0u) << U8(reason);
    EXPECT_NE(reason.find(u"mismatch"), Wide::npos);
    EXPECT_EQ(Text(xml, "A"), u"1");
    EXPECT_EQ(testsupport::ReadFileBytes(path), broken);  // the file is left as it was

    EXPECT_FALSE(xml.Load(dir.file("missing.xml").c_str()));
    EXPECT_EQ(xml.GetLastError(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(xml.LoadFromStringXML(u""));
    EXPECT_FALSE(xml.AddXML("SETTINGS", u"<B>", 0));
    EXPECT_EQ(xml.Count("B"), 0);
    EXPECT_EQ(Text(xml, "A"), u"1");
}

TEST(SimpleXml, BuffersStreamsAndSharedCopies) {
    CSimpleXML xml;
    ASSERT_TRUE(xml.CreateRoot("SETTINGS"));
    ASSERT_TRUE(xml.AddXML("SETTINGS", u"<CURRENCY DEFAULT=\"BYN\"><MNEMO>BYN</MNEMO></CURRENCY>"));
    BYTE* bytes = nullptr;
    const DWORD length = xml.SaveToBuffer(&bytes);
    ASSERT_GT(length, 0u);
    BYTE small[8];
    EXPECT_EQ(xml.SaveToBuffer(small, sizeof small), 0u);
    EXPECT_EQ(xml.GetLastError(), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));

    CSimpleXML fromBuffer;
    ASSERT_TRUE(fromBuffer.LoadFromBuffer(bytes, length));
    CSimpleXML::FreeBuffer(bytes);
    EXPECT_EQ(Text(fromBuffer, "MNEMO"), u"BYN");

    CAIStream out;
    ASSERT_TRUE(xml.Save(&out));
    CAIStream in(out.Bytes().data(), static_cast<DWORD>(out.Bytes().size()));
    CSimpleXML fromStream;
    ASSERT_TRUE(fromStream.Load(&in));
    EXPECT_EQ(Text(fromStream, "MNEMO"), u"BYN");
    LARGE_INTEGER move = {};
    EXPECT_EQ(in.Seek(move, STREAM_SEEK_SET, nullptr), E_NOTIMPL);

    // A section taken out as a document of its own, and the text of the whole.
    CSimpleXML section;
    ASSERT_TRUE(xml.GetXML(section, "CURRENCY"));
    Wide sectionText;
    ASSERT_TRUE(section.SaveToStringXML(&sectionText));
    EXPECT_EQ(sectionText.rfind(u"<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<CURRENCY", 0),
              0u);

    // Copies share the document.
    CSimpleXML copy = xml;
    ASSERT_TRUE(copy.SetNodeValue2("MNEMO", u"USD"));
    EXPECT_EQ(Text(xml, "MNEMO"), u"USD");
    LPSTR allocated = nullptr;
    ASSERT_TRUE(xml.GetAttribute2("CURRENCY", "DEFAULT", &allocated));
    EXPECT_STREQ(allocated, "BYN");
    CSimpleXML::FreeText(allocated);
}

}  // namespace
