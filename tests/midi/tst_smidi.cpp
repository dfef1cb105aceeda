// The MIDI voice seen through a recording output: the exact messages, in order,
// and the handles they go to.

#include "midi/RecordingOutput.h"
#include "midi/sMidi.h"

#include <QTest>

using midi::RecordingOutput;
using Op = RecordingOutput::Op;
using Call = RecordingOutput::Call;

Q_DECLARE_METATYPE(std::int16_t)

class TestSMidi : public QObject {
    Q_OBJECT
private slots:
    void outNumSendsNoteOnAndStopSendsItsNoteOff_data();
    void outNumSendsNoteOnAndStopSendsItsNoteOff();
    void sTypeClampsStoresAndSendsProgramChange_data();
    void sTypeClampsStoresAndSendsProgramChange();
    void newInstanceStopsWithZeroAndReadsProgramZero();
    void onlyTheLastNoteIsStoppedAndStopRepeats();
    void openClosesFirstThenOpensDeviceZeroAndSelectsPiano();
    void failedOpenClosesAgainAndStillSendsProgramChange();
    void reopenClosesTheEarlierDeviceAndKeepsTheProgramProperty();
    void closeTwiceClosesTheSameHandleTwice();
    void wideHandlesAreNotTruncated();
};

void TestSMidi::outNumSendsNoteOnAndStopSendsItsNoteOff_data()
{
    QTest::addColumn<std::int16_t>("sNum");
    QTest::addColumn<quint32>("noteOn");
    QTest::addColumn<quint32>("noteOff");
    QTest::newRow("middle C") << std::int16_t(60) << 0x00643C90u << 0x00003C80u;
    QTest::newRow("lowest key") << std::int16_t(48) << 0x00643090u << 0x00003080u;
    QTest::newRow("highest key") << std::int16_t(83) << 0x00645390u << 0x00005380u;
    QTest::newRow("0") << std::int16_t(0) << 0x00640090u << 0x00000080u;
    QTest::newRow("127") << std::int16_t(127) << 0x00647F90u << 0x00007F80u;
    QTest::newRow("-3 clamps to 0") << std::int16_t(-3) << 0x00640090u << 0x00000080u;
    QTest::newRow("500 clamps to 127") << std::int16_t(500) << 0x00647F90u << 0x00007F80u;
    QTest::newRow("-32768") << std::int16_t(-32768) << 0x00640090u << 0x00000080u;
    QTest::newRow("32767") << std::int16_t(32767) << 0x00647F90u << 0x00007F80u;
    QTest::newRow("128") << std::int16_t(128) << 0x00647F90u << 0x00007F80u;
}

void TestSMidi::outNumSendsNoteOnAndStopSendsItsNoteOff()
{
    QFETCH(std::int16_t, sNum);
    QFETCH(quint32, noteOn);
    QFETCH(quint32, noteOff);
    RecordingOutput out;
    sMidi voice(out);
    voice.MidOpen();
    out.clear();
    voice.outNum(sNum);
    voice.MidStop();
    QCOMPARE(out.sent(), (std::vector<std::uint32_t>{noteOn, noteOff}));
}

void TestSMidi::sTypeClampsStoresAndSendsProgramChange_data()
{
    QTest::addColumn<std::int16_t>("newData");
    QTest::addColumn<std::int16_t>("stored");
    QTest::addColumn<quint32>("message");
    QTest::newRow("glockenspiel") << std::int16_t(9) << std::int16_t(9) << 0x000009C0u;
    QTest::newRow("melodic tom") << std::int16_t(117) << std::int16_t(117) << 0x000075C0u;
    QTest::newRow("127") << std::int16_t(127) << std::int16_t(127) << 0x00007FC0u;
    QTest::newRow("200 clamps to 127") << std::int16_t(200) << std::int16_t(127) << 0x00007FC0u;
    QTest::newRow("-1 clamps to 0") << std::int16_t(-1) << std::int16_t(0) << 0x000000C0u;
    QTest::newRow("-32768") << std::int16_t(-32768) << std::int16_t(0) << 0x000000C0u;
}

void TestSMidi::sTypeClampsStoresAndSendsProgramChange()
{
    QFETCH(std::int16_t, newData);
    QFETCH(std::int16_t, stored);
    QFETCH(quint32, message);
    RecordingOutput out;
    sMidi voice(out);
    voice.sType(newData);
    QCOMPARE(voice.sType(), stored);
    QCOMPARE(out.sent(), std::vector<std::uint32_t>{message});
}

void TestSMidi::newInstanceStopsWithZeroAndReadsProgramZero()
{
    RecordingOutput out;
    sMidi voice(out);
    QCOMPARE(voice.sType(), std::int16_t(0));
    QVERIFY(out.calls.empty());  // reading the property sends nothing
    voice.MidStop();
    // Before any open the handle is 0: the platform refuses it, harmlessly.
    QCOMPARE(out.calls, (std::vector<Call>{{Op::Send, 0, 0, midi::status::invalidHandle}}));
}

void TestSMidi::onlyTheLastNoteIsStoppedAndStopRepeats()
{
    RecordingOutput out;
    sMidi voice(out);
    voice.MidOpen();
    out.clear();
    voice.outNum(60);
    voice.outNum(64);
    voice.MidStop();
    voice.MidStop();
    QCOMPARE(out.sent(), (std::vector<std::uint32_t>{0x00643C90, 0x00644090, 0x00004080, 0x00004080}));
}

void TestSMidi::openClosesFirstThenOpensDeviceZeroAndSelectsPiano()
{
    RecordingOutput out;
    sMidi voice(out);
    QCOMPARE(voice.MidOpen(), 0);
    const midi::Handle h = out.calls.at(1).handle;
    QVERIFY(h != 0);
    QCOMPARE(out.calls, (std::vector<Call>{
                            {Op::Close, 0, 0, midi::status::invalidHandle},  // nothing held yet: refused, ignored
                            {Op::Open, h, 0, midi::status::ok},
                            {Op::Send, h, 0xC0, midi::status::ok},
                        }));
}

void TestSMidi::failedOpenClosesAgainAndStillSendsProgramChange()
{
    RecordingOutput out;
    out.openStatus = midi::status::noDriver;
    out.failedHandle = 0xDEAD;
    sMidi voice(out);
    QCOMPARE(voice.MidOpen(), std::int32_t(midi::status::noDriver));
    QCOMPARE(out.calls, (std::vector<Call>{
                            {Op::Close, 0, 0, midi::status::invalidHandle},
                            {Op::Open, 0xDEAD, 0, midi::status::noDriver},
                            {Op::Close, 0xDEAD, 0, midi::status::invalidHandle},
                            {Op::Send, 0xDEAD, 0xC0, midi::status::invalidHandle},
                        }));
    // Later notes still go out, to the handle the failed open left behind.
    voice.outNum(60);
    QCOMPARE(out.calls.back(), (Call{Op::Send, 0xDEAD, 0x00643C90, midi::status::invalidHandle}));
}

void TestSMidi::reopenClosesTheEarlierDeviceAndKeepsTheProgramProperty()
{
    RecordingOutput out;
    sMidi voice(out);
    voice.MidOpen();
    const midi::Handle first = out.calls.at(1).handle;
    voice.sType(9);
    out.clear();
    voice.MidOpen();
    QCOMPARE(out.calls.at(0), (Call{Op::Close, first, 0, midi::status::ok}));
    QVERIFY(!out.isOpen(first));
    QCOMPARE(out.sent(), std::vector<std::uint32_t>{0xC0});
    QCOMPARE(voice.sType(), std::int16_t(9));
}

void TestSMidi::closeTwiceClosesTheSameHandleTwice()
{
    RecordingOutput out;
    sMidi voice(out);
    voice.MidOpen();
    const midi::Handle h = out.calls.at(1).handle;
    out.clear();
    voice.MidClose();
    voice.MidClose();
    voice.outNum(60);  // after closing: refused by the platform, no harm
    QCOMPARE(out.calls, (std::vector<Call>{
                            {Op::Close, h, 0, midi::status::ok},
                            {Op::Close, h, 0, midi::status::invalidHandle},
                            {Op::Send, h, 0x00643C90, midi::status::invalidHandle},
                        }));
}

void TestSMidi::wideHandlesAreNotTruncated()
{
    if constexpr (sizeof(midi::Handle) < 8)
        QSKIP("32-bit platform");
    RecordingOutput out;
    out.nextHandle = static_cast<midi::Handle>(0x7FFF'1234'5678'9ABCull);
    sMidi voice(out);
    voice.MidOpen();
    voice.outNum(60);
    voice.MidStop();
    voice.MidClose();
    for (std::size_t i = 1; i < out.calls.size(); ++i)
        QCOMPARE(out.calls[i].handle, out.nextHandle - 1);
    QCOMPARE(out.calls.back().status, midi::status::ok);
}

QTEST_APPLESS_MAIN(TestSMidi)
#include "tst_smidi.moc"
