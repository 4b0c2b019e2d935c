// The report page's Apply: which fields each model's device takes, and
// that a change the device has no register or key for is neither sent nor
// taken for written.
#include <gtest/gtest.h>

#include "app/control_window.h"
#include "connection/device_settings.h"
#include "tests/support/scripted_devices.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

using F = ReportField;

TEST(ReportFieldRule, WhatEachModelsDeviceTakes) {
    struct Row {
        int model;
        bool enable;
        // Address 1, P1, Address 2, P2, Address 3, P3, Interval
        std::array<bool, kReportFields> fields;
    };
    const Row rows[] = {
        {3, true, {1, 1, 0, 0, 0, 0, 1}},  {5, true, {1, 1, 0, 0, 0, 0, 1}},
        {6, false, {0, 0, 0, 0, 0, 0, 0}}, {8, false, {0, 0, 0, 0, 0, 0, 0}},
        {10, false, {0, 0, 0, 0, 0, 0, 0}}, {11, true, {1, 1, 1, 1, 1, 1, 1}},
        {13, true, {1, 1, 1, 1, 1, 1, 1}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.model);
        EXPECT_EQ(reportEnableWritable(r.model), r.enable);
        for (int i = 0; i < kReportFields; ++i)
            EXPECT_EQ(reportFieldWritable(r.model, static_cast<F>(i)), r.fields[std::size_t(i)])
                << "field " << i;
    }
}

// A change that no device of the model takes: nothing goes out, the
// operator is told, the flag stays.
TEST(ReportApply, AChangeTheDeviceCannotTakeIsToldAndKept) {
    struct Row {
        int model;
        int field;  // -1: the Enable check box
    };
    const Row rows[] = {{8, -1}, {6, int(F::Address1)}, {10, int(F::Port3)},
                        {9, int(F::Interval)}, {3, int(F::Address2)}, {5, int(F::Port3)}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "model " << r.model << " field " << r.field);
        test::TestWorkspace tw("unused/");
        DeviceSession& s = tw.session();
        s.record.modelCode = r.model;
        ControlModel model(s);
        model.open();
        if (r.field < 0)
            model.setReportEnabled(true);
        else
            model.editReport(static_cast<F>(r.field), "10.9.8.7");
        EXPECT_TRUE(model.applyReport());
        EXPECT_EQ(tw.frontend.errors, std::vector<int>{msg::kNotSupported});
        EXPECT_EQ(tw.frontend.errorCaptions, std::vector<int>{msg::kError});
        EXPECT_TRUE(model.report().anyChanged());
        EXPECT_EQ(tw.net.connects, 0);  // nothing was sent
        EXPECT_TRUE(s.status.settings.changed.empty());
    }
}

TEST(ReportApply, FramedDeviceGetsItsRegistersAndKeepsTheOthersChanged) {
    test::TestWorkspace tw("unused/", test::Net::Scripted, 1'700'000'000);
    DeviceSession& s = tw.session();
    DeviceRecord& r = s.record;
    r.modelCode = 3;
    r.addressText = "127.0.0.1";
    r.port = 23;
    r.selectNumber = "00";
    r.prompt = "HX";
    r.password = "7394";
    test::FramedDeviceScript device;
    device.fallback = [](const std::string& cmd) { return test::FramedDeviceScript::framed(cmd); };
    device.attach(tw.net);
    ASSERT_FALSE(s.loginFramed(true));
    ControlModel model(s);
    model.open();
    model.editReport(F::Address1, "10.9.8.7");
    model.editReport(F::Address2, "10.9.8.8");
    model.editReport(F::Port2, "6000");
    tw.frontend.answers = {false};  // no restart
    EXPECT_TRUE(model.applyReport());
    EXPECT_EQ(device.commandsStartingWith("R2"), std::vector<std::string>{"R231=10.9.8.7"});
    EXPECT_EQ(tw.frontend.errors, std::vector<int>{msg::kNotSupported});
    const ReportFields& f = model.report();
    EXPECT_FALSE(f.changed[std::size_t(F::Address1)]);
    EXPECT_TRUE(f.changed[std::size_t(F::Address2)]);
    EXPECT_TRUE(f.changed[std::size_t(F::Port2)]);
}

}  // namespace
}  // namespace zelo
