#include "vst3/MessageThreadView.h"

#include <juce_events/juce_events.h>

using namespace Steinberg;

namespace
{
template <typename Interface>
Interface* queryOrNull (FUnknown* object)
{
    void* result = nullptr;

    if (object == nullptr || object->queryInterface (Interface::iid, &result) != kResultOk)
        return nullptr;

    return static_cast<Interface*> (result);
}
} // namespace

MessageThreadView::MessageThreadView (IPlugView* frameworkView)
    : view (frameworkView)
    , scaleSupport (queryOrNull<IPlugViewContentScaleSupport> (frameworkView))
{
    // The view holds the framework's view, so the interface needs no reference of its own.
    if (scaleSupport != nullptr)
        scaleSupport->release();
}

MessageThreadView::~MessageThreadView() = default;

template <typename Call>
tresult MessageThreadView::onMessageThread (Call&& call)
{
   #if JUCE_LINUX || JUCE_BSD
    if (! hostLendsRunLoop.load() && ! juce::MessageManager::existsAndIsCurrentThread())
    {
        // Waits until the message thread is between two messages and keeps it there.
        const juce::MessageManagerLock lock;
        return call();
    }
   #endif

    return call();
}

tresult PLUGIN_API MessageThreadView::queryInterface (const TUID targetIID, void** obj)
{
    QUERY_INTERFACE (targetIID, obj, FUnknown::iid, IPlugView)
    QUERY_INTERFACE (targetIID, obj, IPlugView::iid, IPlugView)

    if (scaleSupport != nullptr)
        QUERY_INTERFACE (targetIID, obj, IPlugViewContentScaleSupport::iid, IPlugViewContentScaleSupport)

    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API MessageThreadView::addRef()
{
    return ++refCount;
}

uint32 PLUGIN_API MessageThreadView::release()
{
    const auto remaining = --refCount;

    if (remaining == 0)
    {
        // The framework's view takes its window down as it goes.
        onMessageThread ([this] { view->release(); return kResultOk; });
        delete this;
    }

    return remaining;
}

tresult PLUGIN_API MessageThreadView::isPlatformTypeSupported (FIDString type)
{
    return onMessageThread ([&] { return view->isPlatformTypeSupported (type); });
}

tresult PLUGIN_API MessageThreadView::attached (void* parent, FIDString type)
{
    return onMessageThread ([&] { return view->attached (parent, type); });
}

tresult PLUGIN_API MessageThreadView::removed()
{
    return onMessageThread ([&] { return view->removed(); });
}

tresult PLUGIN_API MessageThreadView::onWheel (float distance)
{
    return onMessageThread ([&] { return view->onWheel (distance); });
}

tresult PLUGIN_API MessageThreadView::onKeyDown (char16 key, int16 keyCode, int16 modifiers)
{
    return onMessageThread ([&] { return view->onKeyDown (key, keyCode, modifiers); });
}

tresult PLUGIN_API MessageThreadView::onKeyUp (char16 key, int16 keyCode, int16 modifiers)
{
    return onMessageThread ([&] { return view->onKeyUp (key, keyCode, modifiers); });
}

tresult PLUGIN_API MessageThreadView::getSize (ViewRect* size)
{
    return onMessageThread ([&] { return view->getSize (size); });
}

tresult PLUGIN_API MessageThreadView::onSize (ViewRect* newSize)
{
    return onMessageThread ([&] { return view->onSize (newSize); });
}

tresult PLUGIN_API MessageThreadView::onFocus (TBool state)
{
    return onMessageThread ([&] { return view->onFocus (state); });
}

tresult PLUGIN_API MessageThreadView::setFrame (IPlugFrame* newFrame)
{
   #if SMTG_OS_LINUX
    if (auto* runLoop = queryOrNull<Linux::IRunLoop> (newFrame))
    {
        runLoop->release();
        hostLendsRunLoop = true;
    }
    else
    {
        hostLendsRunLoop = false;
    }
   #endif

    hostFrame = newFrame;
    return onMessageThread ([&] { return view->setFrame (newFrame != nullptr ? &frame : nullptr); });
}

tresult PLUGIN_API MessageThreadView::canResize()
{
    return onMessageThread ([&] { return view->canResize(); });
}

tresult PLUGIN_API MessageThreadView::checkSizeConstraint (ViewRect* rect)
{
    return onMessageThread ([&] { return view->checkSizeConstraint (rect); });
}

tresult PLUGIN_API MessageThreadView::setContentScaleFactor (ScaleFactor factor)
{
    return onMessageThread ([&] { return scaleSupport != nullptr ? scaleSupport->setContentScaleFactor (factor) : kNotImplemented; });
}

//==============================================================================
tresult PLUGIN_API MessageThreadView::Frame::resizeView (IPlugView*, ViewRect* newSize)
{
    auto* host = owner.hostFrame.load();
    return host != nullptr ? host->resizeView (&owner, newSize) : kResultFalse;
}

tresult PLUGIN_API MessageThreadView::Frame::queryInterface (const TUID targetIID, void** obj)
{
    QUERY_INTERFACE (targetIID, obj, FUnknown::iid, IPlugFrame)
    QUERY_INTERFACE (targetIID, obj, IPlugFrame::iid, IPlugFrame)

    // Whatever else the framework looks for in a frame (the run loop) is the host frame's.
    if (auto* host = owner.hostFrame.load())
        return host->queryInterface (targetIID, obj);

    *obj = nullptr;
    return kNoInterface;
}
