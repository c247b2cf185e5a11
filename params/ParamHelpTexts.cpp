// Help texts of Pn 0 to 63 as the parameter editor shows them in its fixed-pitch help
// box: numbered paragraphs separated by a blank line, list and table lines joined by
// CR LF. The box wraps long prose lines itself, so only list and table lines are broken
// here; tables must keep their columns, which is why they contain no full-width text.

#include "params/ParamCatalog.h"

namespace qx {

namespace {

constexpr std::string_view kHelpPn00 =
    "(1) Version of the drive software, for example 2003. The parameter is read-only: the "
    "drive keeps its own value, and a parameter download leaves it unchanged."
    "\r\n\r\n"
    "(2) This program works with the software versions 403, 703, 813, 913, 1003, 2003, 3003 "
    "and 4003. The parameters of a drive with any other version cannot be loaded.";

constexpr std::string_view kHelpPn01 =
    "(1) Selects the motor connected to the drive."
    "\r\n\r\n"
    "(2) Motor type codes：a standard model is named frame size (mm)-rated torque-rated "
    "speed.\r\n"
    "     0   customer's special motor\r\n"
    "     1   40-0.32N.m-3000rpm\r\n"
    "     2   60-0.64N.m-3000rpm\r\n"
    "     3   60-1.27N.m-3000rpm\r\n"
    "     4   60-1.91N.m-3000rpm\r\n"
    "     5   80-1.27N.m-3000rpm\r\n"
    "     6   80-2.39N.m-3000rpm\r\n"
    "     7   80-3.18N.m-3000rpm\r\n"
    "     8   90-2.39N.m-3000rpm\r\n"
    "     9   90-3.82N.m-2000rpm\r\n"
    "    10   110-2.00N.m-3000rpm\r\n"
    "    11   110-4.00N.m-3000rpm\r\n"
    "    12   110-5.00N.m-3000rpm\r\n"
    "    13   110-6.00N.m-3000rpm\r\n"
    "    14   130-4.00N.m-2500rpm\r\n"
    "    15   130-5.00N.m-2500rpm\r\n"
    "    16   130-6.00N.m-2500rpm\r\n"
    "    17   130-7.70N.m-2500rpm\r\n"
    "    18   130-10.0N.m-2500rpm\r\n"
    "    19   130-15.0N.m-1500rpm\r\n"
    "    20   150-15.0N.m-2500rpm\r\n"
    "    21   180-19.0N.m-1500rpm";

constexpr std::string_view kHelpPn02 =
    "(1) User Parameter Protection Code is used to prevent the parameters from being changed "
    "accidentally. The user parameters can be modified only when User Parameter Protection "
    "Code set to 40613. "
    "\r\n\r\n"
    "(2) Suggest to change it to a value other than 40613 after adjusting parameters.";

constexpr std::string_view kHelpPn03 =
    "(1) Selects what the front panel of the drive shows，codes 0 to 18:\r\n"
    "     0  motor torque, % of rated torque\r\n"
    "     1  motor speed, r/min\r\n"
    "     2  feedback position, low part, pulses\r\n"
    "     3  feedback position, high part, x 10000 pulses\r\n"
    "     4  position command, low part, pulses\r\n"
    "     5  position command, high part, x 10000 pulses\r\n"
    "     6  speed command, r/min\r\n"
    "     7  torque command, % of rated torque\r\n"
    "     8  position command pulse frequency, kHz\r\n"
    "     9  rms current of the motor, A\r\n"
    "    10  encoder output pulse counter, pulses\r\n"
    "    11  line speed: speed asked by the position command, r/min\r\n"
    "    12  position error, low part, pulses\r\n"
    "    13  position error, high part, x 10000 pulses\r\n"
    "    14  control mode, as Pn4\r\n"
    "    15  alarm code, 0 = no alarm\r\n"
    "    16  CN2 input signal states\r\n"
    "    17  CN2 output signal states\r\n"
    "    18  encoder signal states U, V, W, A, B, Z"
    "\r\n\r\n"
    "(2) A value shown in two parts is high part x 10000 + low part.";

constexpr std::string_view kHelpPn04 =
    "(1) Selects the control mode of the drive:\r\n"
    "    0  torque mode: torque command from the analog torque input\r\n"
    "    1  speed mode: speed command from the analog speed input or the internal speeds\r\n"
    "    2  position mode: position command from the pulse input (Pn52)\r\n"
    "    3  JOG mode, at the JOG speed Pn41\r\n"
    "    4  speed test mode, at the target speed Pn43\r\n"
    "    5  autoset of analog input compensation (Pn16, Pn19)\r\n"
    "    6  torque, speed or position demo, or point-to-point, as selected by Pn63"
    "\r\n\r\n"
    "(2) In speed mode with internal speeds (Pn40) the inputs SC1 and SC2 select one of the "
    "internal speeds 1 to 4 (Pn36 to Pn39).";

constexpr std::string_view kHelpPn05 =
    "(1) Delay, in ms, from servo on to the release of the mechanical brake (BRK output).";

constexpr std::string_view kHelpPn06 =
    "(1) Delay, in ms, from the engaging of the mechanical brake (BRK output) to the switching "
    "off of the motor current, when the servo goes off.";

constexpr std::string_view kHelpPn07 =
    "(1) Speed, in r/min, below which the mechanical brake is engaged (BRK output) when the "
    "servo goes off while the motor turns.";

constexpr std::string_view kHelpPn08 =
    "(1) Inverts the logic of the low part CN2 input signals, one bit per signal:\r\n"
    "    0 = the signal is active while its input is on (current flows)\r\n"
    "    1 = the signal is active while its input is off"
    "\r\n\r\n"
    "(2) The value is typed and shown as 6 binary digits, bit 5 first:\r\n"
    "    ----------------------------------------------------------\r\n"
    "    |  Bit 5  |  Bit 4   | Bit 3  | Bit 2 |  Bit 1  | Bit 0  |\r\n"
    "    ----------------------------------------------------------\r\n"
    "    | ServoEn | AlarmClr | CCWDis | CWDis | CCWTLtd | CWTLtd |\r\n"
    "    ----------------------------------------------------------"
    "\r\n\r\n"
    "(3) ServoEn: servo enable. AlarmClr: alarm clear. CCWDis, CWDis: CCW and CW drive "
    "disable (overtravel limit switches). CCWTLtd, CWTLtd: CCW and CW external torque limit "
    "(Pn28, Pn27)."
    "\r\n\r\n"
    "(4) Example: 001100 inverts CCWDis and CWDis.";

constexpr std::string_view kHelpPn09 =
    "(1) Inverts the logic of the high part CN2 input signals, one bit per signal:\r\n"
    "    0 = the signal is active while its input is on (current flows)\r\n"
    "    1 = the signal is active while its input is off"
    "\r\n\r\n"
    "(2) The value is typed and shown as 4 binary digits, bit 3 first:\r\n"
    "    --------------------------------------------------\r\n"
    "    |      Bit 3      |  Bit 2  |  Bit 1  |  Bit 0   |\r\n"
    "    --------------------------------------------------\r\n"
    "    | CLE/SC1/ZEROSPD | INH/SC2 | SignInv | PulseInv |\r\n"
    "    --------------------------------------------------"
    "\r\n\r\n"
    "(3) CLE/SC1/ZEROSPD: position error clear in position mode, internal speed select 1 or "
    "zero speed clamp in speed mode. INH/SC2: command pulse inhibit in position mode, "
    "internal speed select 2 in speed mode. SignInv: sign (direction) command input. "
    "PulseInv: pulse command input.";

constexpr std::string_view kHelpPn10 =
    "(1) Inverts the encoder signals coming in on CN1, one bit per signal:\r\n"
    "    0 = signal taken as it arrives\r\n"
    "    1 = signal inverted"
    "\r\n\r\n"
    "(2) The value is typed and shown as 6 binary digits, bit 5 first:\r\n"
    "    -------------------------------------------------------\r\n"
    "    | Bit 5  | Bit 4  | Bit 3  | Bit 2  | Bit 1  | Bit 0  |\r\n"
    "    -------------------------------------------------------\r\n"
    "    | PhaseU | PhaseV | PhaseW | PhaseA | PhaseB | PhaseZ |\r\n"
    "    -------------------------------------------------------"
    "\r\n\r\n"
    "(3) PhaseU, PhaseV, PhaseW: commutation signals. PhaseA, PhaseB: incremental tracks. "
    "PhaseZ: index pulse.";

constexpr std::string_view kHelpPn11 =
    "(1) Forces low part CN2 input signals active whatever their input, one bit per signal:\r\n"
    "    0 = the signal follows its input (with the inversion of Pn8)\r\n"
    "    1 = the signal is always active"
    "\r\n\r\n"
    "(2) The value is typed and shown as 6 binary digits, bit 5 first:\r\n"
    "    ----------------------------------------------------------\r\n"
    "    |  Bit 5  |  Bit 4   | Bit 3  | Bit 2 |  Bit 1  | Bit 0  |\r\n"
    "    ----------------------------------------------------------\r\n"
    "    | ServoEn | AlarmClr | CCWDis | CWDis | CCWTLtd | CWTLtd |\r\n"
    "    ----------------------------------------------------------"
    "\r\n\r\n"
    "(3) Example: 100000 forces ServoEn active.";

constexpr std::string_view kHelpPn12 =
    "(1) Forces high part CN2 input signals active whatever their input, one bit per "
    "signal:\r\n"
    "    0 = the signal follows its input (with the inversion of Pn9)\r\n"
    "    1 = the signal is always active"
    "\r\n\r\n"
    "(2) The value is typed and shown as 4 binary digits, bit 3 first:\r\n"
    "    --------------------------------------------------\r\n"
    "    |      Bit 3      |  Bit 2  |  Bit 1  |  Bit 0   |\r\n"
    "    --------------------------------------------------\r\n"
    "    | CLE/SC1/ZEROSPD | INH/SC2 | SignInv | PulseInv |\r\n"
    "    --------------------------------------------------"
    "\r\n\r\n"
    "(3) Example: 0100 forces INH/SC2 active.";

constexpr std::string_view kHelpPn13 =
    "(1) Inverts the high part CN2 output signals, one bit per signal:\r\n"
    "    0 = the output is on (conducting) while the signal is active\r\n"
    "    1 = the output is off while the signal is active"
    "\r\n\r\n"
    "(2) The value is typed and shown as 4 binary digits, bit 3 first:\r\n"
    "    ---------------------------------\r\n"
    "    | Bit 3 | Bit 2 | Bit 1 | Bit 0 |\r\n"
    "    ---------------------------------\r\n"
    "    |  SRDY |  ALM  |  COIN |  BRK  |\r\n"
    "    ---------------------------------"
    "\r\n\r\n"
    "(3) SRDY: servo ready. ALM: alarm. COIN: positioning complete (position error within "
    "Pn54). BRK: mechanical brake release.";

constexpr std::string_view kHelpPn14 =
    "(1) Inverts the encoder output signals on CN2, one bit per signal:\r\n"
    "    0 = signal sent as the encoder gives it\r\n"
    "    1 = signal inverted"
    "\r\n\r\n"
    "(2) The value is typed and shown as 3 binary digits, bit 2 first:\r\n"
    "    ----------------------------------\r\n"
    "    |  Bit 2   |  Bit 1   |  Bit 0   |\r\n"
    "    ----------------------------------\r\n"
    "    | PhaseA_O | PhaseB_O | PhaseZ_O |\r\n"
    "    ----------------------------------";

constexpr std::string_view kHelpPn15 =
    "(1) Gain of the analog torque input in torque mode: the torque command, in % of the "
    "rated torque, for 1 V at the input."
    "\r\n\r\n"
    "(2) Example: 30 gives 300 % of the rated torque at 10 V.";

constexpr std::string_view kHelpPn16 =
    "(1) Offset compensation of the analog torque input, in mV, added to the measured "
    "voltage. Set it so that the motor gives no torque with 0 V at the input."
    "\r\n\r\n"
    "(2) Control mode 5 (Pn4) measures and sets it automatically.";

constexpr std::string_view kHelpPn17 =
    "(1) Direction of the analog torque input:\r\n"
    "    0 = a positive voltage gives CCW torque\r\n"
    "    1 = a positive voltage gives CW torque";

constexpr std::string_view kHelpPn18 =
    "(1) Gain of the analog speed input in speed mode: the speed command, in r/min, for 1 V "
    "at the input."
    "\r\n\r\n"
    "(2) Example: 300 gives 3000 r/min at 10 V.";

constexpr std::string_view kHelpPn19 =
    "(1) Offset compensation of the analog speed input, in mV, added to the measured "
    "voltage. Set it so that the motor stands still with 0 V at the input."
    "\r\n\r\n"
    "(2) Control mode 5 (Pn4) measures and sets it automatically.";

constexpr std::string_view kHelpPn20 =
    "(1) Direction of the analog speed input:\r\n"
    "    0 = a positive voltage turns the motor CCW\r\n"
    "    1 = a positive voltage turns the motor CW";

constexpr std::string_view kHelpPn21 =
    "(1) Cut-off frequency, in Hz, of the low-pass filter on the analog speed input.";

constexpr std::string_view kHelpPn22 =
    "(1) Set torque overload value. The value is the percentage of rated torque, no matter "
    "what the direction is;"
    "\r\n\r\n"
    "(2) If the motor torque > Pn22 and lasting time > Pn23, the servo will report a alarm and "
    "stop the motor.";

constexpr std::string_view kHelpPn23 =
    "(1) Time, in ms, for which the motor torque may stay above the torque overload value "
    "(Pn22) before the servo reports an overload alarm and stops the motor.";

constexpr std::string_view kHelpPn24 =
    "(1) Temperature alarm of the internal brake resistor:\r\n"
    "    0 = alarm disabled\r\n"
    "    1 = alarm enabled";

constexpr std::string_view kHelpPn25 =
    "(1) Internal limit of the CW torque, in % of the rated torque."
    "\r\n\r\n"
    "(2) Example: 200 limits the CW torque to 2 times the rated torque.";

constexpr std::string_view kHelpPn26 =
    "(1) Internal limit of the CCW torque, in % of the rated torque."
    "\r\n\r\n"
    "(2) Example: 200 limits the CCW torque to 2 times the rated torque.";

constexpr std::string_view kHelpPn27 =
    "(1) Limit of the CW torque, in % of the rated torque, in force while the input CWTLtd is "
    "active.";

constexpr std::string_view kHelpPn28 =
    "(1) Limit of the CCW torque, in % of the rated torque, in force while the input CCWTLtd "
    "is active.";

constexpr std::string_view kHelpPn29 = "(1) Speed limit, in r/min, in torque mode.";

constexpr std::string_view kHelpPn30 =
    "(1) Proportional gain Kp of the speed loop."
    "\r\n\r\n"
    "(2) \"Speed    Loop Adjust...\" in the Capture menu edits Pn30 to Pn33 while it shows "
    "the step response of the speed loop.";

constexpr std::string_view kHelpPn31 =
    "(1) Integration time constant T_rc of the speed loop, unit is 0.1 ms. Example: 50 is "
    "5 ms."
    "\r\n\r\n"
    "(2) \"Speed    Loop Adjust...\" in the Capture menu edits Pn30 to Pn33 while it shows "
    "the step response of the speed loop.";

constexpr std::string_view kHelpPn32 =
    "(1) Cut-off frequency, in Hz, of the low-pass filter of the speed loop (speed "
    "filter)."
    "\r\n\r\n"
    "(2) \"Speed    Loop Adjust...\" in the Capture menu edits Pn30 to Pn33 while it shows "
    "the step response of the speed loop.";

constexpr std::string_view kHelpPn33 =
    "(1) Cut-off frequency, in Hz, of the low-pass filter on the torque command at the output "
    "of the speed loop (output filter)."
    "\r\n\r\n"
    "(2) \"Speed    Loop Adjust...\" in the Capture menu edits Pn30 to Pn33 while it shows "
    "the step response of the speed loop.";

constexpr std::string_view kHelpPn34 =
    "(1) Acceleration ramp of the speed command: the time, in ms, to go from 0 to 1000 r/min.";

constexpr std::string_view kHelpPn35 =
    "(1) Deceleration ramp of the speed command: the time, in ms, to go from 1000 r/min to "
    "0.";

constexpr std::string_view kHelpPn36 =
    "(1) Internal speed 1, in r/min."
    "\r\n\r\n"
    "(2) Used in speed mode with internal speeds (Pn40), selected by the inputs SC1 and SC2.";

constexpr std::string_view kHelpPn37 =
    "(1) Internal speed 2, in r/min."
    "\r\n\r\n"
    "(2) Used in speed mode with internal speeds (Pn40), selected by the inputs SC1 and SC2.";

constexpr std::string_view kHelpPn38 =
    "(1) Internal speed 3, in r/min."
    "\r\n\r\n"
    "(2) Used in speed mode with internal speeds (Pn40), selected by the inputs SC1 and SC2.";

constexpr std::string_view kHelpPn39 =
    "(1) Internal speed 4, in r/min."
    "\r\n\r\n"
    "(2) Used in speed mode with internal speeds (Pn40), selected by the inputs SC1 and SC2.";

constexpr std::string_view kHelpPn40 =
    "(1) Source of the speed command in speed mode:\r\n"
    "    0 = external: the analog speed input (Pn18 to Pn21)\r\n"
    "    1 = internal: internal speeds 1 to 4 (Pn36 to Pn39), selected by SC1 and SC2";

constexpr std::string_view kHelpPn41 =
    "(1) Set the speed value in JOG control mode. Unit is r/min.";

constexpr std::string_view kHelpPn42 = "(1) Highest motor speed, in r/min.";

constexpr std::string_view kHelpPn43 =
    "(1) Speed command, in r/min, of the speed test mode (control mode 4, Pn4).";

constexpr std::string_view kHelpPn44 =
    "(1) Proportional gain Kp of the position loop."
    "\r\n\r\n"
    "(2) \"Position Loop Adjust...\" in the Capture menu edits Pn44 to Pn46 while it shows "
    "the step response of the position loop.";

constexpr std::string_view kHelpPn45 =
    "(1) Differential gain Kd of the position loop; 0 means no differential action."
    "\r\n\r\n"
    "(2) \"Position Loop Adjust...\" in the Capture menu edits Pn44 to Pn46 while it shows "
    "the step response of the position loop.";

constexpr std::string_view kHelpPn46 =
    "(1) Cut-off frequency, in Hz, of the position feedforward."
    "\r\n\r\n"
    "(2) \"Position Loop Adjust...\" in the Capture menu edits Pn44 to Pn46 while it shows "
    "the step response of the position loop.";

constexpr std::string_view kHelpPn47 =
    "(1) Time constant, in ms, of the low-pass filter on the position command.";

constexpr std::string_view kHelpPn48 =
    "(1) Denominator of the electronic gear for the position command pulses:\r\n"
    "    motor encoder pulses = command pulses x numerator / denominator"
    "\r\n\r\n"
    "(2) The numerator is Pn49, or Pn50 when the dynamic gear (Pn51) selects it."
    "\r\n\r\n"
    "(3) Example: with 10000 encoder pulses per revolution, 1000 command pulses per "
    "revolution need a ratio of 10: Pn49 = 10, Pn48 = 1.";

constexpr std::string_view kHelpPn49 =
    "(1) First numerator of the electronic gear for the position command pulses:\r\n"
    "    motor encoder pulses = command pulses x Pn49 / Pn48"
    "\r\n\r\n"
    "(2) It is in force unless the dynamic gear (Pn51) selects the second numerator Pn50.";

constexpr std::string_view kHelpPn50 =
    "(1) Second numerator of the electronic gear for the position command pulses:\r\n"
    "    motor encoder pulses = command pulses x Pn50 / Pn48"
    "\r\n\r\n"
    "(2) It is in force when the dynamic gear (Pn51) selects it.";

constexpr std::string_view kHelpPn51 =
    "(1) Switching of the electronic gear numerator in position mode:\r\n"
    "    0 = disabled: the numerator is always Pn49\r\n"
    "    1 = enabled: the numerator is Pn49 or Pn50";

constexpr std::string_view kHelpPn52 =
    "(1) Form of the position command pulses：\r\n"
    "    0 = pulse and direction\r\n"
    "    1 = CCW pulse and CW pulse\r\n"
    "    2 = two-phase quadrature\r\n"
    "    3 = reserved"
    "\r\n\r\n"
    "(2) The pulse counts are scaled by the electronic gear (Pn48 to Pn50) and their "
    "direction can be reversed with Pn53.";

constexpr std::string_view kHelpPn53 =
    "(1) Direction of the position command:\r\n"
    "    0 = normal\r\n"
    "    1 = inverted: the motor turns the other way for the same pulses";

constexpr std::string_view kHelpPn54 =
    "(1) Positioning complete range, in pulses: the output COIN is active while the position "
    "error is within this range.";

constexpr std::string_view kHelpPn55 =
    "(1) Largest position error allowed, in pulses. With the checking enabled (Pn56 = 1) a "
    "larger error makes the servo report a position error alarm and stop the motor.";

constexpr std::string_view kHelpPn56 =
    "(1) Checking of the position tracking error against Pn55:\r\n"
    "    0 = disabled\r\n"
    "    1 = enabled";

constexpr std::string_view kHelpPn57 =
    "(1) Ratio A/B of the encoder pulses sent out on PhaseA_O and PhaseB_O：\r\n"
    "    output pulses = encoder pulses x A / B\r\n"
    "    ---------------------------------------\r\n"
    "    | Bits 15..10 | Bits 9..5 | Bits 4..0 |\r\n"
    "    ---------------------------------------\r\n"
    "    |   reserved  |     A     |     B     |\r\n"
    "    ---------------------------------------"
    "\r\n\r\n"
    "(2) Value = A x 32 + B."
    "\r\n\r\n"
    "(3) Example: 33 means 1:1 (A = 1, B = 1); 34 halves the output pulses (A = 1, B = 2).";

constexpr std::string_view kHelpPn58 =
    "(1) Home mode:\r\n"
    "    0 = seek home with the CW limit switch (CWDis)\r\n"
    "    1 = seek home with the CCW limit switch (CCWDis)"
    "\r\n\r\n"
    "(2) The motor seeks the limit switch with the homing speed (Pn59) and the homing "
    "acceleration (Pn60), then takes the first index pulse of the encoder."
    "\r\n\r\n"
    "(3) The HOME offset is Pn61 x 10000 + Pn62.";

constexpr std::string_view kHelpPn59 = "(1) Motor speed while seeking home, in r/min.";

constexpr std::string_view kHelpPn60 =
    "(1) Acceleration and deceleration while seeking home."
    "\r\n\r\n"
    "(2) The unit is r/(s*s).";

constexpr std::string_view kHelpPn61 =
    "(1) High part of the HOME offset, the distance from the index pulse to the home "
    "position:\r\n"
    "    HOME offset = Pn61 x 10000 + Pn62"
    "\r\n\r\n"
    "(2) The unit is pulse.";

constexpr std::string_view kHelpPn62 =
    "(1) Low part of the HOME offset, the distance from the index pulse to the home "
    "position:\r\n"
    "    HOME offset = Pn61 x 10000 + Pn62"
    "\r\n\r\n"
    "(2) The unit is pulse.";

constexpr std::string_view kHelpPn63 =
    "(1) Program run in control mode 6 (Pn4):\r\n"
    "    0 = torque demo, steps 1 to 10 (Pn64 to Pn83)\r\n"
    "    1 = speed demo, steps 1 to 10 (Pn84 to Pn103)\r\n"
    "    2 = position demo (Pn104 to Pn183)\r\n"
    "    3 = point-to-point positioning (Pn104 to Pn183)"
    "\r\n\r\n"
    "(2) The demo programs run steps 1 to 10 in a loop."
    "\r\n\r\n"
    "(3) In point-to-point mode the inputs select the target position, each input counting "
    "1 when on:\r\n"
    "    position = 8 x CCWTLtd + 4 x CWTLtd + 2 x SC1 + SC2 + 1  (1 to 16)"
    "\r\n\r\n"
    "(4) The motor moves to the selected position with that position's speed, acceleration "
    "and maximum torque.";

constexpr std::array<std::string_view, kHighestFixedTextParam + 1> kFixedHelp = {
    kHelpPn00, kHelpPn01, kHelpPn02, kHelpPn03, kHelpPn04, kHelpPn05, kHelpPn06, kHelpPn07,
    kHelpPn08, kHelpPn09, kHelpPn10, kHelpPn11, kHelpPn12, kHelpPn13, kHelpPn14, kHelpPn15,
    kHelpPn16, kHelpPn17, kHelpPn18, kHelpPn19, kHelpPn20, kHelpPn21, kHelpPn22, kHelpPn23,
    kHelpPn24, kHelpPn25, kHelpPn26, kHelpPn27, kHelpPn28, kHelpPn29, kHelpPn30, kHelpPn31,
    kHelpPn32, kHelpPn33, kHelpPn34, kHelpPn35, kHelpPn36, kHelpPn37, kHelpPn38, kHelpPn39,
    kHelpPn40, kHelpPn41, kHelpPn42, kHelpPn43, kHelpPn44, kHelpPn45, kHelpPn46, kHelpPn47,
    kHelpPn48, kHelpPn49, kHelpPn50, kHelpPn51, kHelpPn52, kHelpPn53, kHelpPn54, kHelpPn55,
    kHelpPn56, kHelpPn57, kHelpPn58, kHelpPn59, kHelpPn60, kHelpPn61, kHelpPn62, kHelpPn63,
};

}  // namespace

std::string_view FixedParamHelp(int pn) {
    if (pn < 0 || pn > kHighestFixedTextParam) {
        return {};
    }
    return kFixedHelp[pn];
}

}  // namespace qx
