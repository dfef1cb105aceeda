// MIDI output device 0 as a MIDI port: the voice's 32-bit messages become the
// bytes a MIDI wire carries, the port's faults become WinMM statuses with one
// "no sound" report, and choosing a port leaves the synthesizer unmade.

#include "midi/PortOutput.h"
#include "NoSoundReports.h"
#include "midi/ShortMessage.h"

#include <QTest>

#include <vector>

using midi::PortOutput;
namespace status = midi::status;

Q_DECLARE_METATYPE(midi::PortFault)
using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

// A port that keeps what it is sent, with a queue that fills.
class FakePort final : public midi::MidiPort {
public:
    explicit FakePort(std::vector<Bytes>* sent, std::size_t room) : sent_(sent), room_(room) {}

private:
    bool enqueue(const Message& message) override
    {
        if (sent_->size() == room_)
            return false;
        sent_->emplace_back(message.bytes, message.bytes + message.size);
        return true;
    }
    std::vector<Bytes>* sent_;
    std::size_t room_;
};

struct Fixture {
    std::vector<Bytes> sent;
    std::size_t room = 100;
    midi::PortFault fault = midi::PortFault::none;
    midi::MidiPortRequest asked;
    PortOutput output{"jack", "Qsynth",
                      [this](const midi::MidiPortRequest& request, std::string* why, midi::PortFault* f)
                          -> std::unique_ptr<midi::MidiPort> {
                          asked = request;
                          *f = fault;
                          if (fault != midi::PortFault::none) {
                              *why = "why not";
                              return nullptr;
                          }
                          return std::make_unique<FakePort>(&sent, room);
                      }};
};

}  // namespace

class TestPortOutput : public QObject {
    Q_OBJECT

private slots:
    void sendsWireBytes_data()
    {
        QTest::addColumn<quint32>("message");
        QTest::addColumn<quint32>("status");
        QTest::addColumn<Bytes>("bytes");
        QTest::newRow("note on 60") << quint32(midi::noteOn(60)) << status::ok << Bytes{0x90, 0x3C, 0x64};
        QTest::newRow("note off 127") << quint32(midi::noteOff(127)) << status::ok << Bytes{0x80, 0x7F, 0x00};
        QTest::newRow("program change 0") << quint32(0xC0) << status::ok << Bytes{0xC0, 0x00};
        QTest::newRow("program change 117") << quint32(midi::programChange(117)) << status::ok << Bytes{0xC0, 0x75};
        QTest::newRow("timing clock") << quint32(0xF8) << status::ok << Bytes{0xF8};
        // The voice's stop before any note: no status byte, nothing to send.
        QTest::newRow("no note stored") << quint32(0) << status::invalidParam << Bytes{};
        QTest::newRow("data byte with its top bit") << quint32(0x00803C90) << status::invalidParam << Bytes{};
        QTest::newRow("system exclusive") << quint32(0xF0) << status::invalidParam << Bytes{};
    }

    void sendsWireBytes()
    {
        QFETCH(quint32, message);
        QFETCH(quint32, status);
        QFETCH(Bytes, bytes);
        Fixture f;
        midi::Handle handle = 0;
        QCOMPARE(f.output.open(&handle, 0), status::ok);
        QCOMPARE(f.asked.server, std::string("jack"));
        QCOMPARE(f.asked.target, std::string("Qsynth"));
        QCOMPARE(f.output.sendShort(handle, message), status);
        QCOMPARE(f.sent, bytes.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{bytes});
    }

    void fullQueueIsNotReady()
    {
        Fixture f;
        f.room = 1;
        midi::Handle handle = 0;
        QCOMPARE(f.output.open(&handle, 0), status::ok);
        QCOMPARE(f.output.sendShort(handle, midi::noteOn(60)), status::ok);
        QCOMPARE(f.output.sendShort(handle, midi::noteOn(61)), status::notReady);
        QCOMPARE(f.output.port(handle)->overflows(), 1u);
    }

    void failedOpen_data()
    {
        QTest::addColumn<midi::PortFault>("fault");
        QTest::addColumn<quint32>("status");
        QTest::newRow("no server") << midi::PortFault::noServer << status::noDriver;
        QTest::newRow("no such target") << midi::PortFault::noTarget << status::badDeviceId;
        QTest::newRow("failed") << midi::PortFault::failed << status::error;
    }

    void failedOpen()
    {
        QFETCH(midi::PortFault, fault);
        QFETCH(quint32, status);
        NoSoundReports reports;
        Fixture f;
        f.fault = fault;
        midi::Handle handle = 0x1234;
        QCOMPARE(f.output.open(&handle, 0), status);
        QCOMPARE(handle, midi::Handle(0));
        QCOMPARE(reports.size(), std::size_t(1));
        QCOMPARE(reports.front(), std::string("why not"));
        QCOMPARE(f.output.sendShort(handle, midi::noteOn(60)), status::invalidHandle);
        QCOMPARE(f.output.close(handle), status::invalidHandle);
    }

    void handlesLikeADevice()
    {
        Fixture f;
        midi::Handle handle = 0, second = 0;
        QCOMPARE(f.output.open(&handle, 1), status::badDeviceId);
        QCOMPARE(f.output.open(&handle, 0), status::ok);
        QCOMPARE(f.output.open(&second, 0), status::allocated);
        QCOMPARE(f.output.close(handle), status::ok);
        QCOMPARE(f.output.close(handle), status::invalidHandle);
        QCOMPARE(f.output.sendShort(handle, midi::noteOn(60)), status::invalidHandle);
        QVERIFY(f.sent.empty());
    }

    void choosesDevice0_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<bool>("taken");
        QTest::newRow("synth") << "synth" << true;
        QTest::newRow("jack") << "jack" << true;
        QTest::newRow("pipewire with a target") << "pipewire:midi-dump:input" << true;
        QTest::newRow("unknown") << "alsa" << false;
        QTest::newRow("empty target") << "jack:" << false;
        QTest::newRow("synth with a target") << "synth:x" << false;
    }

    void choosesDevice0()
    {
        QFETCH(QString, choice);
        QFETCH(bool, taken);
        QCOMPARE(midi::chooseOutput(choice.toStdString()).empty(), taken);
    }

    // Last: device 0 is made once, from the last choice.
    void aPortLoadsNoSynthesizer()
    {
        QVERIFY(midi::chooseOutput("jack").empty());
        midi::prepareOutput();
        QVERIFY(dynamic_cast<PortOutput*>(&midi::platformOutput()));
    }
};

QTEST_GUILESS_MAIN(TestPortOutput)
#include "tst_port_output.moc"
