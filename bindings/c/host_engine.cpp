#include "bindings/c/host_engine.h"

#include <condition_variable>
#include <mutex>
#include <string>

#include "core/code_page.h"

namespace {

constexpr size_t kDiscIdSize = 4096;  // a 99-track CDDB query text takes under 1 KiB

// The callbacks, and the calls running through them.
class HostGate {
public:
    // Runs call(host) while the gate is open; false (nothing run) when closed.
    template <typename Call>
    bool Run(Call call) {
        lyparser_host host;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            if (!open_) return false;
            host = host_;
            ++inFlight_;
        }
        ++t_inside;
        call(host);
        --t_inside;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            --inFlight_;
        }
        idle_.notify_all();
        return true;
    }

    void Open(const lyparser_host& host) {
        std::unique_lock<std::mutex> hold(mutex_);
        idle_.wait(hold, [&] { return inFlight_ == t_inside; });
        host_ = host;
        open_ = true;
    }

    void Close() {
        std::unique_lock<std::mutex> hold(mutex_);
        open_ = false;
        idle_.wait(hold, [&] { return inFlight_ == t_inside; });
    }

private:
    static thread_local int t_inside;  // calls of this thread in flight

    std::mutex mutex_;
    std::condition_variable idle_;
    bool open_ = false;
    int inFlight_ = 0;
    lyparser_host host_{};
};

thread_local int HostGate::t_inside = 0;

// Never destroyed: a lookup thread may pass it while the process exits.
HostGate& Gate() {
    static HostGate* gate = new HostGate();
    return *gate;
}

class CHostEngine : public CBassAudio {
public:
    // A narrow path is in the calling thread's code page, which is UTF-8
    // during every call this layer makes.
    float GetAudioLength(const void* path, int wide) override {
        if (!path) return 0;
        std::string utf8 = wide ? WideToUtf8(static_cast<const wchar_t*>(path))
                                : std::string(static_cast<const char*>(path));
        double seconds = 0;
        Gate().Run([&](const lyparser_host& h) {
            if (h.audio_length) seconds = h.audio_length(h.user, utf8.c_str());
        });
        return static_cast<float>(seconds);
    }

    int GetBassCD_DriveLetter(unsigned long drive) override {
        int letter = -1;
        Gate().Run([&](const lyparser_host& h) {
            if (h.cd_drive_letter) letter = h.cd_drive_letter(h.user, Number(drive));
        });
        return letter;
    }

    int GetBassCD_IsReady(unsigned long drive) override {
        int ready = 0;
        Gate().Run([&](const lyparser_host& h) {
            if (h.cd_is_ready) ready = h.cd_is_ready(h.user, Number(drive));
        });
        return ready;
    }

    // The text stays valid until this thread's next call, as the module needs.
    const char* GetBassCD_ID(unsigned long drive, unsigned long kind) override {
        static thread_local std::string t_text;
        if (kind != 2) return nullptr;  // only the CDDB query text is asked for
        char buffer[kDiscIdSize] = {};
        int found = 0;
        Gate().Run([&](const lyparser_host& h) {
            if (h.cd_id) found = h.cd_id(h.user, Number(drive), buffer, sizeof buffer);
        });
        if (!found) return nullptr;
        buffer[kDiscIdSize - 1] = '\0';
        t_text = buffer;
        return t_text.c_str();
    }

    int GetBassCD_TrackLength(unsigned long drive, unsigned long track) override {
        int bytes = 0;
        Gate().Run([&](const lyparser_host& h) {
            if (h.cd_track_length) bytes = h.cd_track_length(h.user, Number(drive), Number(track));
        });
        return bytes;
    }

private:
    static unsigned Number(unsigned long number) { return static_cast<unsigned>(number); }
};

}  // namespace

CBassAudio* HostEngine() {
    static CHostEngine* engine = new CHostEngine();  // the module keeps it for the process
    return engine;
}

void ForwardNotification(const char* unit, unsigned message, int a, int b) {
    Gate().Run([&](const lyparser_host& h) {
        if (h.notify) h.notify(h.user, unit ? unit : "", message, a, b);
    });
}

void OpenHostGate(const lyparser_host& host) { Gate().Open(host); }

void CloseHostGate() { Gate().Close(); }
