#include "inst_parse.h"

#include <stdio.h>
#include <string.h>

#include "base_argument.h"
#include "inst_system.h"

const char InstNoCommand[] = "no command";

static int Fail(InstError *error, const char *what, const char *token) {
    error->what = what;
    error->token = token;
    return 0;
}

/* The value after option argv[*i]; moves *i onto it. */
static int OptionValue(int argc, char **argv, int *i, const char **value, InstError *error) {
    if (*i + 1 >= argc) return Fail(error, "option needs a value", argv[*i]);
    *i += 1;
    *value = argv[*i];
    return 1;
}

static int ParseInstall(int argc, char **argv, InstOptions *options, InstError *error) {
    int i;
    for (i = 2; i < argc; i++) {
        const char *arg = argv[i];
        const char *value;
        if (strcmp(arg, "-b") == 0) {
            uint32_t base;
            if (!OptionValue(argc, argv, &i, &value, error)) return 0;
            if (!ParseBaseArgument(value, &base)) return Fail(error, "bad base address", value);
            if (base < INST_LOWEST_BASE || base > INST_HIGHEST_BASE)
                return Fail(error, "base address outside 100-3FC", value);
            options->base = base;
        } else if (strcmp(arg, "-g") == 0) {
            if (!OptionValue(argc, argv, &i, &value, error)) return 0;
            if (value[0] == '\0') return Fail(error, "empty group name", value);
            options->group = value;
        } else if (strcmp(arg, "-m") == 0) {
            if (!OptionValue(argc, argv, &i, &value, error)) return 0;
            if (strcmp(value, "auto") == 0) options->start_type = INST_START_AUTO;
            else if (strcmp(value, "demand") == 0) options->start_type = INST_START_DEMAND;
            else return Fail(error, "start type is auto or demand, not", value);
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return Fail(error, "unknown option", arg);
        } else if (options->driver) {
            return Fail(error, "unexpected argument", arg);
        } else {
            options->driver = arg;
        }
    }
    return 1;
}

int InstParse(int argc, char **argv, InstOptions *options, InstError *error) {
    const char *command;
    options->base = INST_DEFAULT_BASE;
    options->group = NULL;
    options->start_type = INST_START_AUTO;
    options->driver = NULL;
    if (argc < 2) return Fail(error, InstNoCommand, NULL);
    command = argv[1];
    if (strcmp(command, "install") == 0) {
        options->command = INST_INSTALL;
        return ParseInstall(argc, argv, options, error);
    }
    if (strcmp(command, "remove") == 0) options->command = INST_REMOVE;
    else if (strcmp(command, "status") == 0) options->command = INST_STATUS;
    else return Fail(error, "unknown command", command);
    if (argc > 2) return Fail(error, "unexpected argument", argv[2]);
    return 1;
}

int InstFormatSid(const uint8_t *sid, size_t sid_size, char *text) {
    unsigned count, i;
    uint32_t high, low;
    if (sid_size < 8) return 0;
    count = sid[1];
    if (count > 15 || sid_size < 8 + 4 * (size_t)count) return 0;
    high = ((uint32_t)sid[2] << 8) | sid[3];
    low = ((uint32_t)sid[4] << 24) | ((uint32_t)sid[5] << 16) | ((uint32_t)sid[6] << 8) | sid[7];
    text += sprintf(text, "S-%u-", (unsigned)sid[0]);
    if (high == 0) text += sprintf(text, "%lu", (unsigned long)low);
    else text += sprintf(text, "0x%04lX%08lX", (unsigned long)high, (unsigned long)low);
    for (i = 0; i < count; i++) {
        const uint8_t *p = sid + 8 + 4 * i;
        uint32_t sub = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
                       ((uint32_t)p[3] << 24);
        text += sprintf(text, "-%lu", (unsigned long)sub);
    }
    return 1;
}
