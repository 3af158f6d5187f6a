// The audio thread's half of "Sing": the live precise tracker over the microphone's samples. An
// AudioWorklet cannot fetch, so the page hands it the compiled module. Each batch of final frames
// goes to the page with the notes that ended, the count of samples received so far and the audio
// clock at the end of the last of them, which place every frame on the audio clock.
import { LiveTracker, init } from '../index.js';

class LiveTrackerProcessor extends AudioWorkletProcessor {
  constructor({ processorOptions }) {
    super();
    this.waiting = [];  // blocks that arrive while the module is instantiated
    this.received = 0;
    this.port.onmessage = ({ data }) => {
      if (data === 'finish') this.finish();
    };
    init(processorOptions.module).then(() => {
      this.tracker = new LiveTracker(sampleRate);
      for (const block of this.waiting.splice(0)) this.push(block);
    }, (error) => {
      this.finished = true;
      this.waiting = [];
      this.port.postMessage({ error: error.message });
    });
  }

  push(block) {
    const { frames, notes } = this.tracker.push(block);
    if (frames.length > 0 || notes.length > 0) {
      const clock = currentTime + 128 / sampleRate;
      this.port.postMessage({ frames, notes, received: this.received, clock });
    }
  }

  process(inputs) {
    const block = inputs[0]?.[0];
    if (!block || this.finished) return !this.finished;
    this.received += block.length;
    if (this.tracker) this.push(block);
    else this.waiting.push(block.slice());
    return true;
  }

  finish() {
    this.finished = true;
    const { frames, notes } = this.tracker ? this.tracker.finish() : { frames: [], notes: [] };
    this.port.postMessage({ frames, notes, received: this.received, clock: currentTime,
      finished: true });
  }
}

registerProcessor('pitchtrack-live', LiveTrackerProcessor);
