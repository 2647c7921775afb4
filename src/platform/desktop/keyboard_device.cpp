// The keyboard device: a snapshot of SDL's key state for the focused window, in the
// classic key numbering (key_codes.h), with taps between two snapshots kept.
#include "platform/desktop/system_desktop.h"

namespace platform {

InputResult SystemDesktop::createInput(Instance, Input** input) {
    if (input == nullptr) return inputInvalidParam;
    *input = new Input;
    return inputOk;
}

InputResult SystemDesktop::createKeyboard(Input* input, KeyboardDevice** device) {
    if (device == nullptr) return inputInvalidParam;
    *device = nullptr;
    if (input == nullptr) return inputInvalidParam;
    if (SDL_GetKeyboardState(nullptr) == nullptr) return inputGenericFailure;
    *device = new KeyboardDevice;
    return inputOk;
}

InputResult SystemDesktop::setKeyboardDataFormat(KeyboardDevice* device) {
    if (device == nullptr) return inputInvalidParam;
    device->formatSet = true;
    return inputOk;
}

InputResult SystemDesktop::setCooperativeLevel(KeyboardDevice* device, Window* window, std::uint32_t flags) {
    // Keys are read from SDL's state of the focused window: only foreground access
    // exists. Nothing else can take the keyboard from us, so exclusive is implied.
    if (device == nullptr || window == nullptr || (flags & cooperativeForeground) == 0) {
        return inputInvalidParam;
    }
    device->window = window;
    return inputOk;
}

InputResult SystemDesktop::acquire(KeyboardDevice* device) {
    if (device == nullptr || !device->formatSet || device->window == nullptr) return inputInvalidParam;
    device->acquired = hasKeyboardFocus(device);
    return device->acquired ? inputOk : inputOtherAppHasPriority;
}

InputResult SystemDesktop::getDeviceState(KeyboardDevice* device, std::uint32_t size, void* state) {
    if (device == nullptr || state == nullptr || size != keyboardStateSize) return inputInvalidParam;
    if (!device->acquired) return inputNotAcquired;
    if (!hasKeyboardFocus(device)) {
        device->acquired = false;
        return inputLost;
    }
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    auto* out = static_cast<std::uint8_t*>(state);
    fillKeyState(keys, count, out);
    // A tap that went down and up between two snapshots still shows once.
    for (std::size_t code = 0; code < tapped_.size(); ++code) {
        if (tapped_[code]) out[code] = keyDown;
    }
    tapped_.fill(false);
    return inputOk;
}

InputResult SystemDesktop::unacquire(KeyboardDevice* device) {
    if (device == nullptr) return inputInvalidParam;
    device->acquired = false;
    return inputOk;
}

void SystemDesktop::releaseKeyboard(KeyboardDevice* device) { delete device; }
void SystemDesktop::releaseInput(Input* input) { delete input; }

bool SystemDesktop::hasKeyboardFocus(const KeyboardDevice* device) const {
    return windows_.count(device->window->id) != 0 && SDL_GetKeyboardFocus() == device->window->sdl;
}

}  // namespace platform
