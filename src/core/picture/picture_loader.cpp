#include "picture/picture_loader.h"

#include <system_error>
#include <utility>

namespace octile {

PictureLoader::PictureLoader(Post post, Deliver deliver)
    : post_(std::move(post)), shared_(std::make_shared<Shared>()) {
    shared_->deliver = std::move(deliver);
}

PictureLoader::~PictureLoader() {
    if (thread_.joinable()) {
        {
            const std::lock_guard lock(shared_->mutex);
            shared_->quit = true;
            shared_->stop = true;
        }
        shared_->changed.notify_all();
        thread_.join();
    }
}

PictureLoader::Result PictureLoader::Decode(const Job& job, const std::atomic<bool>* stop) {
    PictureHost host(job.folder);
    host.SetMaxPixels(job.maxPixels);
    host.SetStopFlag(stop);
    Result result;
    result.taken = host.LoadPicture(result.dib, job.path, job.offset);
    result.refused = host.RefusedSize();
    return result;
}

std::optional<PictureLoader::Result> PictureLoader::Load(Job job, std::chrono::milliseconds wait) {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    const uint64_t generation = ++s.generation;
    s.result.reset();
    s.stop = true;  // the load in hand, if any, is superseded
    if (post_ && !thread_.joinable()) {
        try {
            thread_ = std::thread([shared = shared_, post = post_] { Run(shared, post); });
        } catch (const std::system_error&) {
            // No thread to be had: this load runs here.
        }
    }
    if (!thread_.joinable()) {
        lock.unlock();
        return Decode(job, nullptr);
    }
    s.job = std::move(job);
    s.jobGeneration = generation;
    s.changed.notify_all();
    const auto done = [&] { return s.result && s.resultGeneration == generation; };
    s.waiting = true;
    s.changed.wait_for(lock, wait, done);
    s.waiting = false;
    if (!done()) return std::nullopt;
    std::optional<Result> result = std::move(s.result);
    s.result.reset();
    return result;
}

void PictureLoader::Cancel() {
    const std::lock_guard lock(shared_->mutex);
    ++shared_->generation;
    shared_->job.reset();
    shared_->result.reset();
    shared_->stop = true;
}

bool PictureLoader::Loading() const {
    const Shared& s = *shared_;
    const std::lock_guard lock(shared_->mutex);
    return s.job.has_value() || s.decoding == s.generation ||
           (s.result && s.resultGeneration == s.generation);
}

void PictureLoader::Run(const std::shared_ptr<Shared>& shared, const Post& post) {
    Shared& s = *shared;
    std::unique_lock lock(s.mutex);
    for (;;) {
        s.changed.wait(lock, [&] { return s.quit || s.job.has_value(); });
        if (s.quit) return;
        const Job job = std::move(*s.job);
        s.job.reset();
        const uint64_t generation = s.jobGeneration;
        s.decoding = generation;
        s.stop = false;
        lock.unlock();
        Result result = Decode(job, &s.stop);
        lock.lock();
        s.decoding.reset();
        if (s.quit) return;
        if (generation != s.generation) continue;  // superseded: dropped
        s.result = std::move(result);
        s.resultGeneration = generation;
        if (s.waiting) {
            s.changed.notify_all();
            continue;
        }
        lock.unlock();
        post([weak = std::weak_ptr<Shared>(shared), generation] {
            DeliverPosted(weak, generation);
        });
        lock.lock();
    }
}

void PictureLoader::DeliverPosted(const std::weak_ptr<Shared>& weak, uint64_t generation) {
    const std::shared_ptr<Shared> shared = weak.lock();
    if (!shared) return;
    std::optional<Result> result;
    {
        const std::lock_guard lock(shared->mutex);
        if (!shared->result || shared->resultGeneration != generation ||
            shared->generation != generation) {
            return;
        }
        result = std::move(shared->result);
        shared->result.reset();
    }
    shared->deliver(*result);
}

}  // namespace octile
