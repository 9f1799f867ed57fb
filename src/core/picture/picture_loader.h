#pragma once
// PictureLoader: decodes the picture detection found on a thread of its own,
// so that a large picture (up to the pixel limit, seconds of decoding) never
// holds up the window. The window thread waits a moment for the result, so a
// small picture still shows at once; a picture that takes longer reaches the
// window thread later through the host's post. A newer load, or Cancel,
// stops the one in hand (the plug-ins are asked through their progress
// callback) and its result is dropped.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "picture/dib.h"
#include "picture/picture_host.h"

namespace octile {

class PictureLoader {
  public:
    // What to decode: the picture at offset of the file at path, with the
    // plug-ins of folder, under a pixel limit.
    struct Job {
        std::string path;
        uint64_t offset = 0;
        std::string folder;
        uint64_t maxPixels = 0;
    };
    // A finished load: taken is the result of CDib::TakeBitmap (0: nothing
    // could be decoded, dib is empty), refused the size of a picture over the
    // limit.
    struct Result {
        int taken = 0;
        CDib dib;
        std::optional<PictureSize> refused;
    };
    // Runs a task on the window thread later; called from the decoding
    // thread. Null when there is no window thread to post to: loads then
    // run on the caller's thread.
    using Post = std::function<void(std::function<void()>)>;
    // Receives, on the window thread, the result of a load that took longer
    // than its wait and was not superseded.
    using Deliver = std::function<void(Result&)>;

    PictureLoader(Post post, Deliver deliver);
    // Stops the load in hand and waits for the thread.
    ~PictureLoader();
    PictureLoader(const PictureLoader&) = delete;
    PictureLoader& operator=(const PictureLoader&) = delete;

    // Starts job in place of any load in hand, and waits up to wait for it:
    // its result when it is done by then. Otherwise nothing, and the result
    // goes to Deliver unless another Load or Cancel comes first.
    std::optional<Result> Load(Job job, std::chrono::milliseconds wait);
    // Stops the load in hand; its result is not delivered.
    void Cancel();
    // Whether a load started and has not been delivered or dropped.
    bool Loading() const;

  private:
    // What the window thread and the decoding thread share.
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        uint64_t generation = 0;       // of the newest Load or Cancel
        std::optional<Job> job;        // waiting to be decoded
        uint64_t jobGeneration = 0;    // the generation it belongs to
        std::optional<Result> result;  // decoded, not yet taken
        uint64_t resultGeneration = 0;
        std::optional<uint64_t> decoding;  // the generation being decoded
        bool waiting = false;              // the window thread waits in Load
        bool quit = false;
        std::atomic<bool> stop{false};  // the load in hand is superseded
        Deliver deliver;
    };

    // The decoding thread: one job at a time, the newest.
    static void Run(const std::shared_ptr<Shared>& shared, const Post& post);
    // On the window thread: hands the posted result to Deliver when it is
    // still the newest load's.
    static void DeliverPosted(const std::weak_ptr<Shared>& shared, uint64_t generation);
    static Result Decode(const Job& job, const std::atomic<bool>* stop);

    Post post_;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace octile
