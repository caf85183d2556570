// Test doubles for the update commands: a console link that answers from a script, and a
// display that records what the commands show.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "ProgressDisplay.h"
#include "ReplyLink.h"
#include "SysexMessages.h"

class CScriptedLink : public IReplyLink {
public:
    enum class Answer { Reply, Acknowledge, TimeOut, NoData };
    struct Step {
        Answer answer;
        Bytes message;
    };
    static Step Reply(Bytes message) { return {Answer::Reply, std::move(message)}; }
    static Step Acknowledge() { return {Answer::Acknowledge, {}}; } // echoes the last packet
    static Step TimeOut() { return {Answer::TimeOut, {}}; }
    // The driver reported a damaged incoming message: the wait ends, the buffer is untouched.
    static Step NoData() { return {Answer::NoData, {}}; }

    std::deque<Step> script; // one step per awaited reply; then the console stays silent
    std::vector<Bytes> sent;
    std::vector<uint8_t*> replyBuffers; // per send; null when no capture was armed
    std::vector<Bytes> replyWhenArmed;  // bytes 0..21 of the reply buffer at each armed send
    std::vector<uint32_t> timeouts;

    void SendLong(const uint8_t* message, uint32_t length, uint8_t* reply) override
    {
        sent.emplace_back(message, message + length);
        replyBuffers.push_back(reply);
        if (reply)
            replyWhenArmed.emplace_back(reply, reply + 22);
        m_armed = reply;
    }

    int WaitReply(uint32_t timeoutMs) override
    {
        timeouts.push_back(timeoutMs);
        EXPECT_NE(m_armed, nullptr) << "waiting without an armed capture";
        const Step step = script.empty() ? TimeOut() : script.front();
        if (!script.empty())
            script.pop_front();
        const Bytes reply = step.answer == Answer::Acknowledge ? WriteReply(PacketAddress(sent.back())) : step.message;
        if (m_armed && (step.answer == Answer::Reply || step.answer == Answer::Acknowledge))
            std::copy_n(reply.begin(), std::min<size_t>(reply.size(), 4096), m_armed);
        m_armed = nullptr;
        return step.answer != Answer::TimeOut;
    }

private:
    uint8_t* m_armed = nullptr;
};

class CRecordingDisplay : public IProgressDisplay {
public:
    std::vector<std::string> statuses;
    std::vector<std::string> progress; // "range 0 4", "pos 0", "offset 1"
    int position = -1;

    void ShowStatus(const char* text) override { statuses.emplace_back(text); }
    void SetRange(int lower, int upper) override
    {
        progress.push_back("range " + std::to_string(lower) + " " + std::to_string(upper));
    }
    void SetPos(int pos) override
    {
        progress.push_back("pos " + std::to_string(pos));
        position = pos;
    }
    void OffsetPos(int delta) override
    {
        progress.push_back("offset " + std::to_string(delta));
        position += delta;
    }
};
