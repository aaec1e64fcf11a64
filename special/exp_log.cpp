// The exponential and logarithm family: exp, expm1, log, log1p, pow and the
// hyperbolic functions built on them.
//
// exp, expm1, log and log1p are evaluated here from IEEE basic operations in
// a fixed order (table-driven reduction after Tang, double-double sums and
// products from double_double.h, no fused multiply-add), so every build gives
// the same bits. Each keeps its result as hi + lo with a relative error near
// 2^-70 before the one final rounding, so it is within one ulp everywhere and
// correctly rounded on all but a rare few arguments.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "special/double_double.h"
#include "special/elementary.h"

namespace kvz::elem {
namespace {

using dd::DD;

// Constants and tables, computed at 300 bits and rounded to double.
// exp: 128/ln 2, and ln 2/128 in three parts, the first with 35 bits so that
// k × kExpL1 is exact for every |k| < 2^18. log: ln 2 in two parts, the first
// with 42 bits so that e × kLn2Hi is exact for every exponent e.
constexpr double kExpInvL = 0x1.71547652b82fep+7;
constexpr double kExpL1 = 0x1.62e42fefc0000p-8;
constexpr double kExpL2 = -0x1.c610ca86c3899p-44;
constexpr double kExpL3 = 0x1.803f2f6af40f3p-99;
constexpr double kLn2Hi = 0x1.62e42fefa3800p-1;
constexpr double kLn2Lo = 0x1.ef35793c76730p-45;
// 2^(j/128) as hi + lo, j = 0..127.
constexpr double kExpTable[128][2] = {
    {0x1.0000000000000p+0, 0x0.0p+0},
    {0x1.0163da9fb3335p+0, 0x1.b61299ab8cdb7p-54},
    {0x1.02c9a3e778061p+0, -0x1.19083535b085dp-56},
    {0x1.04315e86e7f85p+0, -0x1.0a31c1977c96ep-54},
    {0x1.059b0d3158574p+0, 0x1.d73e2a475b465p-55},
    {0x1.0706b29ddf6dep+0, -0x1.c91dfe2b13c27p-55},
    {0x1.0874518759bc8p+0, 0x1.186be4bb284ffp-57},
    {0x1.09e3ecac6f383p+0, 0x1.1487818316136p-54},
    {0x1.0b5586cf9890fp+0, 0x1.8a62e4adc610bp-54},
    {0x1.0cc922b7247f7p+0, 0x1.01edc16e24f71p-54},
    {0x1.0e3ec32d3d1a2p+0, 0x1.03a1727c57b53p-59},
    {0x1.0fb66affed31bp+0, -0x1.b9bedc44ebd7bp-57},
    {0x1.11301d0125b51p+0, -0x1.6c51039449b3ap-54},
    {0x1.12abdc06c31ccp+0, -0x1.1b514b36ca5c7p-58},
    {0x1.1429aaea92de0p+0, -0x1.32fbf9af1369ep-54},
    {0x1.15a98c8a58e51p+0, 0x1.2406ab9eeab0ap-55},
    {0x1.172b83c7d517bp+0, -0x1.19041b9d78a76p-55},
    {0x1.18af9388c8deap+0, -0x1.11023d1970f6cp-54},
    {0x1.1a35beb6fcb75p+0, 0x1.e5b4c7b4968e4p-55},
    {0x1.1bbe084045cd4p+0, -0x1.95386352ef607p-54},
    {0x1.1d4873168b9aap+0, 0x1.e016e00a2643cp-54},
    {0x1.1ed5022fcd91dp+0, -0x1.1df98027bb78cp-54},
    {0x1.2063b88628cd6p+0, 0x1.dc775814a8495p-55},
    {0x1.21f49917ddc96p+0, 0x1.2a97e9494a5eep-55},
    {0x1.2387a6e756238p+0, 0x1.9b07eb6c70573p-54},
    {0x1.251ce4fb2a63fp+0, 0x1.ac155bef4f4a4p-55},
    {0x1.26b4565e27cddp+0, 0x1.2bd339940e9d9p-55},
    {0x1.284dfe1f56381p+0, -0x1.a4c3a8c3f0d7ep-54},
    {0x1.29e9df51fdee1p+0, 0x1.612e8afad1255p-55},
    {0x1.2b87fd0dad990p+0, -0x1.10adcd6381aa4p-59},
    {0x1.2d285a6e4030bp+0, 0x1.0024754db41d5p-54},
    {0x1.2ecafa93e2f56p+0, 0x1.1ca0f45d52383p-56},
    {0x1.306fe0a31b715p+0, 0x1.6f46ad23182e4p-55},
    {0x1.32170fc4cd831p+0, 0x1.a9ce78e18047cp-55},
    {0x1.33c08b26416ffp+0, 0x1.32721843659a6p-54},
    {0x1.356c55f929ff1p+0, -0x1.b5cee5c4e4628p-55},
    {0x1.371a7373aa9cbp+0, -0x1.63aeabf42eae2p-54},
    {0x1.38cae6d05d866p+0, -0x1.e958d3c9904bdp-54},
    {0x1.3a7db34e59ff7p+0, -0x1.5e436d661f5e3p-56},
    {0x1.3c32dc313a8e5p+0, -0x1.efff8375d29c3p-54},
    {0x1.3dea64c123422p+0, 0x1.ada0911f09ebcp-55},
    {0x1.3fa4504ac801cp+0, -0x1.7d023f956f9f3p-54},
    {0x1.4160a21f72e2ap+0, -0x1.ef3691c309278p-58},
    {0x1.431f5d950a897p+0, -0x1.1c7dde35f7999p-55},
    {0x1.44e086061892dp+0, 0x1.89b7a04ef80d0p-59},
    {0x1.46a41ed1d0057p+0, 0x1.c944bd1648a76p-54},
    {0x1.486a2b5c13cd0p+0, 0x1.3c1a3b69062f0p-56},
    {0x1.4a32af0d7d3dep+0, 0x1.9cb62f3d1be56p-54},
    {0x1.4bfdad5362a27p+0, 0x1.d4397afec42e2p-56},
    {0x1.4dcb299fddd0dp+0, 0x1.8ecdbbc6a7833p-54},
    {0x1.4f9b2769d2ca7p+0, -0x1.4b309d25957e3p-54},
    {0x1.516daa2cf6642p+0, -0x1.f768569bd93efp-55},
    {0x1.5342b569d4f82p+0, -0x1.07abe1db13cadp-55},
    {0x1.551a4ca5d920fp+0, -0x1.d689cefede59bp-55},
    {0x1.56f4736b527dap+0, 0x1.9bb2c011d93adp-54},
    {0x1.58d12d497c7fdp+0, 0x1.295e15b9a1de8p-55},
    {0x1.5ab07dd485429p+0, 0x1.6324c054647adp-54},
    {0x1.5c9268a5946b7p+0, 0x1.c4b1b816986a2p-60},
    {0x1.5e76f15ad2148p+0, 0x1.ba6f93080e65ep-54},
    {0x1.605e1b976dc09p+0, -0x1.3e2429b56de47p-54},
    {0x1.6247eb03a5585p+0, -0x1.383c17e40b497p-54},
    {0x1.6434634ccc320p+0, -0x1.c483c759d8933p-55},
    {0x1.6623882552225p+0, -0x1.bb60987591c34p-54},
    {0x1.68155d44ca973p+0, 0x1.038ae44f73e65p-57},
    {0x1.6a09e667f3bcdp+0, -0x1.bdd3413b26456p-54},
    {0x1.6c012750bdabfp+0, -0x1.2895667ff0b0dp-56},
    {0x1.6dfb23c651a2fp+0, -0x1.bbe3a683c88abp-57},
    {0x1.6ff7df9519484p+0, -0x1.83c0f25860ef6p-55},
    {0x1.71f75e8ec5f74p+0, -0x1.16e4786887a99p-55},
    {0x1.73f9a48a58174p+0, -0x1.0a8d96c65d53cp-54},
    {0x1.75feb564267c9p+0, -0x1.0245957316dd3p-54},
    {0x1.780694fde5d3fp+0, 0x1.866b80a02162dp-54},
    {0x1.7a11473eb0187p+0, -0x1.41577ee04992fp-55},
    {0x1.7c1ed0130c132p+0, 0x1.f124cd1164dd6p-54},
    {0x1.7e2f336cf4e62p+0, 0x1.05d02ba15797ep-56},
    {0x1.80427543e1a12p+0, -0x1.27c86626d972bp-54},
    {0x1.82589994cce13p+0, -0x1.d4c1dd41532d8p-54},
    {0x1.8471a4623c7adp+0, -0x1.8d684a341cdfbp-55},
    {0x1.868d99b4492edp+0, -0x1.fc6f89bd4f6bap-54},
    {0x1.88ac7d98a6699p+0, 0x1.994c2f37cb53ap-54},
    {0x1.8ace5422aa0dbp+0, 0x1.6e9f156864b27p-54},
    {0x1.8cf3216b5448cp+0, -0x1.0d55e32e9e3aap-56},
    {0x1.8f1ae99157736p+0, 0x1.5cc13a2e3976cp-55},
    {0x1.9145b0b91ffc6p+0, -0x1.dd6792e582524p-54},
    {0x1.93737b0cdc5e5p+0, -0x1.75fc781b57ebcp-57},
    {0x1.95a44cbc8520fp+0, -0x1.64b7c96a5f039p-56},
    {0x1.97d829fde4e50p+0, -0x1.d185b7c1b85d1p-54},
    {0x1.9a0f170ca07bap+0, -0x1.173bd91cee632p-54},
    {0x1.9c49182a3f090p+0, 0x1.c7c46b071f2bep-56},
    {0x1.9e86319e32323p+0, 0x1.824ca78e64c6ep-56},
    {0x1.a0c667b5de565p+0, -0x1.359495d1cd533p-54},
    {0x1.a309bec4a2d33p+0, 0x1.6305c7ddc36abp-54},
    {0x1.a5503b23e255dp+0, -0x1.d2f6edb8d41e1p-54},
    {0x1.a799e1330b358p+0, 0x1.bcb7ecac563c7p-54},
    {0x1.a9e6b5579fdbfp+0, 0x1.0fac90ef7fd31p-54},
    {0x1.ac36bbfd3f37ap+0, -0x1.f9234cae76cd0p-55},
    {0x1.ae89f995ad3adp+0, 0x1.7a1cd345dcc81p-54},
    {0x1.b0e07298db666p+0, -0x1.bdef54c80e425p-54},
    {0x1.b33a2b84f15fbp+0, -0x1.2805e3084d708p-57},
    {0x1.b59728de5593ap+0, -0x1.c71dfbbba6de3p-54},
    {0x1.b7f76f2fb5e47p+0, -0x1.5584f7e54ac3bp-56},
    {0x1.ba5b030a1064ap+0, -0x1.efcd30e54292ep-54},
    {0x1.bcc1e904bc1d2p+0, 0x1.23dd07a2d9e84p-55},
    {0x1.bf2c25bd71e09p+0, -0x1.efdca3f6b9c73p-54},
    {0x1.c199bdd85529cp+0, 0x1.11065895048ddp-55},
    {0x1.c40ab5fffd07ap+0, 0x1.b4537e083c60ap-54},
    {0x1.c67f12e57d14bp+0, 0x1.2884dff483cadp-54},
    {0x1.c8f6d9406e7b5p+0, 0x1.1acbc48805c44p-56},
    {0x1.cb720dcef9069p+0, 0x1.503cbd1e949dbp-56},
    {0x1.cdf0b555dc3fap+0, -0x1.dd83b53829d72p-55},
    {0x1.d072d4a07897cp+0, -0x1.cbc3743797a9cp-54},
    {0x1.d2f87080d89f2p+0, -0x1.d487b719d8578p-54},
    {0x1.d5818dcfba487p+0, 0x1.2ed02d75b3707p-55},
    {0x1.d80e316c98398p+0, -0x1.11ec18beddfe8p-54},
    {0x1.da9e603db3285p+0, 0x1.c2300696db532p-54},
    {0x1.dd321f301b460p+0, 0x1.2da5778f018c3p-54},
    {0x1.dfc97337b9b5fp+0, -0x1.1a5cd4f184b5cp-54},
    {0x1.e264614f5a129p+0, -0x1.7b627817a1496p-54},
    {0x1.e502ee78b3ff6p+0, 0x1.39e8980a9cc8fp-55},
    {0x1.e7a51fbc74c83p+0, 0x1.2d522ca0c8de2p-54},
    {0x1.ea4afa2a490dap+0, -0x1.e9c23179c2893p-54},
    {0x1.ecf482d8e67f1p+0, -0x1.c93f3b411ad8cp-54},
    {0x1.efa1bee615a27p+0, 0x1.dc7f486a4b6b0p-54},
    {0x1.f252b376bba97p+0, 0x1.3a1a5bf0d8e43p-54},
    {0x1.f50765b6e4540p+0, 0x1.9d3e12dd8a18bp-54},
    {0x1.f7bfdad9cbe14p+0, -0x1.dbb12d006350ap-54},
    {0x1.fa7c1819e90d8p+0, 0x1.74853f3a5931ep-55},
    {0x1.fd3c22b8f71f1p+0, 0x1.2eb74966579e7p-57},
};
// For m in [1 + i/256, 1 + (i+1)/256): c close to 1/m (to 1/(m/2) for i >= 106),
// and ln(1/c) as hi + lo.
constexpr double kLogTable[256][3] = {
    {0x1.0000000000000p+0, 0x0.0p+0, 0x0.0p+0},
    {0x1.fd04794a10e6ap-1, 0x1.7ee11ebd82ec4p-8, 0x1.3c2d23a074505p-63},
    {0x1.fb0c610d5e939p-1, 0x1.3e7295d25a7d5p-7, 0x1.600d65eebbc60p-61},
    {0x1.f9182b6813bafp-1, 0x1.bcf712c743853p-7, -0x1.7b4213447a4ccp-61},
    {0x1.f727cce5f530ap-1, 0x1.1d7f7eb9eebf1p-6, 0x1.2be019c2d240ep-61},
    {0x1.f53b3a3fa204ep-1, 0x1.5c45a51b8d393p-6, -0x1.885b61f610d84p-63},
    {0x1.f3526859b8cecp-1, 0x1.9ace7551cc515p-6, -0x1.cbf63e207e981p-60},
    {0x1.f16d4c4401f17p-1, 0x1.d91a66c543cbep-6, 0x1.4b2c67dcd0956p-60},
    {0x1.ef8bdb389ebadp-1, 0x1.0b94f7c196173p-5, -0x1.c5bc089e0b23bp-59},
    {0x1.edae0a9b3d3a5p-1, 0x1.2a7ec2214e879p-5, 0x1.042b74e00f373p-60},
    {0x1.ebd3cff850b0cp-1, 0x1.494acc34d911dp-5, -0x1.9d6a40b6e333bp-59},
    {0x1.e9fd21044e799p-1, 0x1.67f94f094bd92p-5, 0x1.19f3f276b596dp-59},
    {0x1.e829f39aef509p-1, 0x1.868a83083f6d0p-5, -0x1.284d2b1a4a1edp-60},
    {0x1.e65a3dbe74d6bp-1, 0x1.a4fe9ffa3d233p-5, -0x1.4502014926cd6p-59},
    {0x1.e48df596f3394p-1, 0x1.c355dd0921f2fp-5, -0x1.4d9501f1df1d3p-59},
    {0x1.e2c511719ee16p-1, 0x1.e19070c276010p-5, 0x1.a66e7585e8241p-59},
    {0x1.e0ff87c01e100p-1, 0x1.ffae9119b92fbp-5, 0x1.ba13162a9c44ep-60},
    {0x1.df3d4f17de4dbp-1, 0x1.0ed839b5526fep-4, 0x1.1e4add513114dp-58},
    {0x1.dd7e5e316d94cp-1, 0x1.1dcb263db1944p-4, 0x1.7d7a7a2605718p-58},
    {0x1.dbc2abe7d71d4p-1, 0x1.2cb0283f5de22p-4, -0x1.34d66a3f7a2b6p-58},
    {0x1.da0a2f3803b41p-1, 0x1.3b87598b1b6f0p-4, 0x1.44d6a6b9dad0cp-58},
    {0x1.d854df401d855p-1, 0x1.4a50d3aa1b03fp-4, -0x1.9308973e22a83p-61},
    {0x1.d6a2b33ef7448p-1, 0x1.590cafdf01c26p-4, -0x1.42a375515892ep-58},
    {0x1.d4f3a293769cap-1, 0x1.67bb0726ec0fbp-4, 0x1.d2da7bd644829p-59},
    {0x1.d347a4bc01d34p-1, 0x1.765bf23a6be17p-4, 0x1.cff28ef6a5931p-58},
    {0x1.d19eb155f08a4p-1, 0x1.84ef898e82828p-4, -0x1.f491a5df236ecp-58},
    {0x1.cff8c01cff8c0p-1, 0x1.9375e55595edfp-4, -0x1.e463f9e4dd91fp-59},
    {0x1.ce55c8eac7900p-1, 0x1.a1ef1d8061cd8p-4, 0x1.76df97bcb1787p-60},
    {0x1.ccb5c3b636e3ap-1, 0x1.b05b49bee4403p-4, -0x1.89f383dad0d65p-58},
    {0x1.cb18a8930de60p-1, 0x1.beba818146764p-4, 0x1.d248382a5ecffp-62},
    {0x1.c97e6fb15e44dp-1, 0x1.cd0cdbf8c13e0p-4, -0x1.64af228bcf63ap-60},
    {0x1.c7e7115d0ce95p-1, 0x1.db5270187d925p-4, -0x1.9d4a8f3f05aa5p-59},
    {0x1.c65285fd56843p-1, 0x1.e98b54967146bp-4, 0x1.a227143a5a99ap-58},
    {0x1.c4c0c61456a8ep-1, 0x1.f7b79fec37de2p-4, 0x1.38176812fe880p-59},
    {0x1.c331ca3e91679p-1, 0x1.02ebb42bf3d4ap-3, -0x1.652e70072e4b1p-57},
    {0x1.c1a58b327f576p-1, 0x1.09f561ee719c4p-3, -0x1.aae2afa34f48ap-58},
    {0x1.c01c01c01c01cp-1, 0x1.10f8e422539b1p-3, 0x1.cf798d39f1b7dp-58},
    {0x1.be9526d0769fap-1, 0x1.17f6458fca611p-3, -0x1.f52f6c3723f80p-57},
    {0x1.bd10f365451b6p-1, 0x1.1eed90e2dc2c3p-3, 0x1.837097648f581p-58},
    {0x1.bb8f609879493p-1, 0x1.25ded0abc6ad3p-3, 0x1.14f176448b993p-60},
    {0x1.ba10679bd8488p-1, 0x1.2cca0f5f5f252p-3, 0x1.dcdca01dc0febp-57},
    {0x1.b89401b89401cp-1, 0x1.33af575770e4dp-3, 0x1.f28bf9ca923d6p-58},
    {0x1.b71a284ee6b34p-1, 0x1.3a8eb2d31a375p-3, 0x1.bbbeaea81ece2p-57},
    {0x1.b5a2d4d5b081fp-1, 0x1.41682bf727bbfp-3, -0x1.1e103f093930dp-58},
    {0x1.b42e00da17007p-1, 0x1.483bccce6e3dcp-3, 0x1.b1391fb1b4b22p-57},
    {0x1.b2bba5ff26a23p-1, 0x1.4f099f4a230b1p-3, 0x1.24140543648f3p-58},
    {0x1.b14bbdfd760e6p-1, 0x1.55d1ad4232d70p-3, -0x1.4644b3703041cp-57},
    {0x1.afde42a2cb482p-1, 0x1.5c940075972b9p-3, -0x1.1919a4664319dp-57},
    {0x1.ae732dd1c2a09p-1, 0x1.6350a28aaa759p-3, -0x1.0ea8fd38a2c66p-58},
    {0x1.ad0a798177693p-1, 0x1.6a079d0f7aad0p-3, 0x1.28891a29eac08p-57},
    {0x1.aba41fbd2e5b1p-1, 0x1.70b8f97a1aa74p-3, -0x1.de12ad4822814p-57},
    {0x1.aa401aa401aa4p-1, 0x1.7764c128f2127p-3, 0x1.440d1e78f44cep-57},
    {0x1.a8de64688ebabp-1, 0x1.7e0afd630c276p-3, -0x1.d9f13877e61b9p-57},
    {0x1.a77ef750a56dap-1, 0x1.84abb75865137p-3, -0x1.16fa715e8d38bp-59},
    {0x1.a621cdb4f8fdfp-1, 0x1.8b46f8223625bp-3, 0x1.610816ebe4976p-57},
    {0x1.a4c6e200d2637p-1, 0x1.91dcc8c340bdfp-3, -0x1.f28442017473fp-57},
    {0x1.a36e2eb1c432dp-1, 0x1.986d3228180c8p-3, 0x1.0593750fffe78p-58},
    {0x1.a217ae575ff2fp-1, 0x1.9ef83d2769a34p-3, -0x1.9fb3f9cdff9d3p-57},
    {0x1.a0c35b92ecdf1p-1, 0x1.a57df28244dcbp-3, -0x1.966bc4ca8938dp-57},
    {0x1.9f713117200d0p-1, 0x1.abfe5ae46124ap-3, 0x1.2b1a83b18de21p-58},
    {0x1.9e2129a7d5f0ap-1, 0x1.b2797ee46320cp-3, 0x1.1adf25feae309p-57},
    {0x1.9cd34019cd340p-1, 0x1.b8ef670420c3bp-3, 0x1.9990bc47005e0p-59},
    {0x1.9b876f5262dd1p-1, 0x1.bf601bb0e44e0p-3, -0x1.beb83c874aaf3p-57},
    {0x1.9a3db2474fb98p-1, 0x1.c5cba543ae424p-3, -0x1.44269756071afp-58},
    {0x1.98f603fe670a0p-1, 0x1.cc320c0176501p-3, 0x1.cd329bc9d42b1p-64},
    {0x1.97b05f8d56652p-1, 0x1.d293581b6b3e7p-3, -0x1.204a2aa97ac8ep-58},
    {0x1.966cc01966cc0p-1, 0x1.d8ef91af31d5ep-3, 0x1.d01e4d9c3e3a7p-57},
    {0x1.952b20d73ee97p-1, 0x1.df46c0c722d30p-3, -0x1.4f486fc6e8c8ap-64},
    {0x1.93eb7d0aa6759p-1, 0x1.e598ed5a87e2ep-3, -0x1.daf3c7a62832cp-57},
    {0x1.92add0064ab74p-1, 0x1.ebe61f4dd7b0bp-3, -0x1.9987ee52650b9p-60},
    {0x1.9172152b841ddp-1, 0x1.f22e5e72f105cp-3, -0x1.98a0bf20f9d99p-59},
    {0x1.903847ea1cec1p-1, 0x1.f871b28955045p-3, 0x1.8d2b5b2204b4cp-57},
    {0x1.8f0063c018f00p-1, 0x1.feb0233e607cep-3, 0x1.6e32d5e8c7080p-57},
    {0x1.8dca64397e408p-1, 0x1.0274dc16c232fp-2, -0x1.6bb183e51ec40p-56},
    {0x1.8c9644f01efbcp-1, 0x1.058f3c703ebc5p-2, 0x1.e9432dc9528f1p-56},
    {0x1.8b64018b64019p-1, 0x1.08a73667c57aep-2, 0x1.2140c5a328e6dp-56},
    {0x1.8a3395c018a34p-1, 0x1.0bbccdb0d24bcp-2, -0x1.2333a23204a40p-56},
    {0x1.8904fd503744bp-1, 0x1.0ed005f657da5p-2, 0x1.0b5e955ff414ep-59},
    {0x1.87d8340ab6e97p-1, 0x1.11e0e2dad9cb6p-2, 0x1.97b8198d22e05p-56},
    {0x1.86ad35cb59a84p-1, 0x1.14ef67f88685ap-2, 0x1.a6880da1b13e4p-58},
    {0x1.8583fe7a7c018p-1, 0x1.17fb98e15095ep-2, 0x1.1458b5d97ba9dp-56},
    {0x1.845c8a0ce5129p-1, 0x1.1b05791f07b4ap-2, -0x1.b26dc55e2d052p-56},
    {0x1.8336d48397a24p-1, 0x1.1e0d0c33716bdp-2, 0x1.154d86a4ff98bp-59},
    {0x1.8212d9eba4018p-1, 0x1.211255986160cp-2, -0x1.3a2eb579e2857p-59},
    {0x1.80f0965dfabcbp-1, 0x1.241558bfd1405p-2, -0x1.99bae06a5c863p-61},
    {0x1.7fd005ff40180p-1, 0x1.27161913f853dp-2, -0x1.0e09ea9b4c4a4p-56},
    {0x1.7eb124ffa053bp-1, 0x1.2a1499f762bcap-2, 0x1.895c18aa47a54p-57},
    {0x1.7d93ef9aa4b46p-1, 0x1.2d10dec508582p-2, 0x1.f3ee1106a6ca7p-57},
    {0x1.7c7862170949fp-1, 0x1.300aead06350cp-2, -0x1.95d2280d51407p-58},
    {0x1.7b5e78c693733p-1, 0x1.3302c1658658ap-2, -0x1.263d5c1f755e9p-56},
    {0x1.7a463005e918cp-1, 0x1.35f865c93293ep-2, 0x1.8d8af2d5b0557p-59},
    {0x1.792f843c689c3p-1, 0x1.38ebdb38ed320p-2, 0x1.2d733ea6502f0p-56},
    {0x1.781a71dc01782p-1, 0x1.3bdd24eb14b69p-2, 0x1.06d1e3224d3e9p-57},
    {0x1.7706f5610d8d0p-1, 0x1.3ecc460ef5f50p-2, -0x1.0c4f82601ebfap-60},
    {0x1.75f50b522b17cp-1, 0x1.41b941cce0beep-2, -0x1.8027c87f91214p-57},
    {0x1.74e4b040174e5p-1, 0x1.44a41b463c47bp-2, -0x1.430c8309edcfcp-56},
    {0x1.73d5e0c5899f7p-1, 0x1.478cd5959b3d8p-2, -0x1.1c0f372f6825bp-57},
    {0x1.72c899870f91fp-1, 0x1.4a7373cecf997p-2, -0x1.51d7e6a892849p-57},
    {0x1.71bcd732e940ap-1, 0x1.4d57f8fefe27fp-2, 0x1.cb3fe83434321p-56},
    {0x1.70b29680e66fap-1, 0x1.503a682cb1cb3p-2, -0x1.bc78b7cdae677p-56},
    {0x1.6fa9d43244380p-1, 0x1.531ac457ee77fp-2, -0x1.c4826ceaff1c8p-56},
    {0x1.6ea28d118b474p-1, 0x1.55f9107a43ee2p-2, -0x1.81de37d2989eep-56},
    {0x1.6d9cbdf26eaefp-1, 0x1.58d54f86e02f3p-2, -0x1.24f586adeb499p-57},
    {0x1.6c9863b1ab429p-1, 0x1.5baf846aa1b1ap-2, 0x1.ec1e3016fc9f5p-58},
    {0x1.6b957b34e7803p-1, 0x1.5e87b20c2954ap-2, -0x1.fa7088c705f8ap-56},
    {0x1.6a94016a94017p-1, 0x1.615ddb4bec13cp-2, -0x1.e15bd0fed391dp-56},
    {0x1.6993f349cc726p+0, -0x1.61965cdb02c1ep-2, 0x1.deb01e24472dep-56},
    {0x1.68954dd2390bap+0, -0x1.5ec433d5c35aep-2, 0x1.bdbac5d0228dap-61},
    {0x1.67980e0bf08c7p+0, -0x1.5bf406b543db1p-2, 0x1.55f5b44c0df7fp-56},
    {0x1.669c31075ab40p+0, -0x1.5925d2b112a59p-2, 0x1.eb4f4ade67242p-57},
    {0x1.65a1b3dd13357p+0, -0x1.565995069514cp-2, -0x1.eb4aeb71dce60p-56},
    {0x1.64a893adcd25fp+0, -0x1.538f4af8f72fcp-2, -0x1.05722aa3e6ceap-56},
    {0x1.63b0cda236e1cp+0, -0x1.50c6f1d11b97bp-2, -0x1.205f60f4fb3a9p-62},
    {0x1.62ba5eeade65ep+0, -0x1.4e0086dd8baccp-2, 0x1.2aa1e447883d3p-56},
    {0x1.61c544c0161c5p+0, -0x1.4b3c077267e9ap-2, 0x1.eda0414ae7af8p-56},
    {0x1.60d17c61da198p+0, -0x1.487970e958771p-2, 0x1.a7b9a30da0b3ap-56},
    {0x1.5fdf0317b5c6fp+0, -0x1.45b8c0a17df12p-2, -0x1.f7e305eaf5a20p-56},
    {0x1.5eedd630a9fb3p+0, -0x1.42f9f3ff62641p-2, 0x1.dfc20b32aeeb8p-58},
    {0x1.5dfdf303137b6p+0, -0x1.403d086cea79bp-2, -0x1.dae890e61064bp-57},
    {0x1.5d0f56ec91e57p+0, -0x1.3d81fb5946dbcp-2, 0x1.5a154e9bd1c94p-56},
    {0x1.5c21ff51ef005p+0, -0x1.3ac8ca38e5c5dp-2, -0x1.b843fd41b5821p-57},
    {0x1.5b35e99f06714p+0, -0x1.3811728564cb2p-2, 0x1.0249d0381591bp-56},
    {0x1.5a4b1346add2bp+0, -0x1.355bf1bd82c8bp-2, 0x1.8e2593c3a036fp-59},
    {0x1.596179c29d2cep+0, -0x1.32a84565120a9p-2, 0x1.d2fd8ca1453afp-56},
    {0x1.58791a9357ccep+0, -0x1.2ff66b04ea9d5p-2, 0x1.5a541e6e2e36cp-56},
    {0x1.5791f34015792p+0, -0x1.2d46602adccefp-2, 0x1.eeee6aa0cadf1p-56},
    {0x1.56ac0156ac015p+0, -0x1.2a982269a3dbep-2, -0x1.e6aa35e8c481ep-59},
    {0x1.55c7426b79286p+0, -0x1.27ebaf58d8c9cp-2, -0x1.23ffa5a12c9b5p-56},
    {0x1.54e3b4194ce66p+0, -0x1.25410494e56c8p-2, 0x1.da7e21101b5adp-57},
    {0x1.5401540154015p+0, -0x1.22981fbef797ap-2, -0x1.b53ed4fe4c507p-57},
    {0x1.53201fcb02fb1p+0, -0x1.1ff0fe7cf47a9p-2, 0x1.a15d801e7d762p-57},
    {0x1.5240152401524p+0, -0x1.1d4b9e796c245p-2, -0x1.233e2172b6715p-56},
    {0x1.516131c015161p+0, -0x1.1aa7fd638d33ep-2, -0x1.529616f79ff4ep-57},
    {0x1.508373590ec9cp+0, -0x1.180618ef18adep-2, 0x1.7e4369c72b404p-59},
    {0x1.4fa6d7aeb597cp+0, -0x1.1565eed455fc2p-2, -0x1.829024aa2ed78p-56},
    {0x1.4ecb5c86b3d24p+0, -0x1.12c77cd00713cp-2, -0x1.1522847de5d12p-56},
    {0x1.4df0ffac83c01p+0, -0x1.102ac0a35cc1bp-2, -0x1.94404052f3458p-58},
    {0x1.4d17bef15cb4ep+0, -0x1.0d8fb813eb1efp-2, -0x1.5a21d4fe8d42ap-56},
    {0x1.4c3f982c20723p+0, -0x1.0af660eb9e278p-2, 0x1.440ad727f641bp-57},
    {0x1.4b68893948d1cp+0, -0x1.085eb8f8ae799p-2, 0x1.3d8174030ad14p-57},
    {0x1.4a928ffad5b5cp+0, -0x1.05c8be0d9635ap-2, -0x1.a38ef996b0c96p-58},
    {0x1.49bdaa583b401p+0, -0x1.03346e0106062p-2, 0x1.9475699c6a38ep-56},
    {0x1.48e9d63e504d1p+0, -0x1.00a1c6adda472p-2, -0x1.05a22e785ea23p-58},
    {0x1.4817119f3d325p+0, -0x1.fc218be620a5fp-3, 0x1.be438c2581880p-58},
    {0x1.47455a726abf2p+0, -0x1.f702d36777df0p-3, -0x1.8ae998c1dd664p-58},
    {0x1.4674aeb4717e9p+0, -0x1.f1e75fadf9bdep-3, -0x1.59b44f8126332p-58},
    {0x1.45a50c670938fp+0, -0x1.eccf2c8fe920bp-3, -0x1.217062a6fe69fp-58},
    {0x1.44d67190f8b43p+0, -0x1.e7ba35eb77e2ap-3, -0x1.ec7721b26dd59p-57},
    {0x1.4408dc3e05b22p+0, -0x1.e2a877a6b2c0fp-3, 0x1.6d10f1efcca1bp-57},
    {0x1.433c4a7ee52b4p+0, -0x1.dd99edaf6d7e9p-3, -0x1.4cb1c548a6ce6p-59},
    {0x1.4270ba692bc4dp+0, -0x1.d88e93fb2f451p-3, -0x1.f7fb96815e081p-57},
    {0x1.41a62a173e821p+0, -0x1.d38666871f467p-3, 0x1.4b38932bc0bedp-60},
    {0x1.40dc97a843ae8p+0, -0x1.ce816157f1985p-3, 0x1.6ba2099514bdbp-57},
    {0x1.4014014014014p+0, -0x1.c97f8079d44ecp-3, -0x1.41a8c6e6c4ee7p-57},
    {0x1.3f4c65072bf74p+0, -0x1.c480c0005cccfp-3, -0x1.49abc89ceca67p-57},
    {0x1.3e85c12a9d651p+0, -0x1.bf851c067555cp-3, 0x1.c9302152b2212p-58},
    {0x1.3dc013dc013dcp+0, -0x1.ba8c90ae4ad19p-3, -0x1.afe88865b42bdp-57},
    {0x1.3cfb5b51698ebp+0, -0x1.b5971a213acd9p-3, 0x1.35f155b885f1fp-58},
    {0x1.3c3795c553afbp+0, -0x1.b0a4b48fc1b44p-3, 0x1.6ab87331d9cbfp-58},
    {0x1.3b74c1769aa5cp+0, -0x1.abb55c31693aep-3, -0x1.a9a875993ea8ap-59},
    {0x1.3ab2dca869b81p+0, -0x1.a6c90d44b704cp-3, 0x1.67e06f618b545p-57},
    {0x1.39f1e5a22f36ep+0, -0x1.a1dfc40f1b7f1p-3, 0x1.ce009e6f018ffp-57},
    {0x1.3931daaf8f721p+0, -0x1.9cf97cdce0ec1p-3, 0x1.e779df58e47ddp-59},
    {0x1.3872ba2057e04p+0, -0x1.981634011aa74p-3, 0x1.64c2df743bd5ap-57},
    {0x1.37b4824872744p+0, -0x1.9335e5d594985p-3, -0x1.d8757a8fb3347p-57},
    {0x1.36f7317fd9212p+0, -0x1.8e588ebac2dc1p-3, -0x1.d2acb445001d8p-58},
    {0x1.363ac622898b1p+0, -0x1.897e2b17b19a6p-3, 0x1.4f380cbe9dbe8p-57},
    {0x1.357f3e9078e5bp+0, -0x1.84a6b759f512dp-3, 0x1.6156fc3047cf8p-59},
    {0x1.34c4992d87fd9p+0, -0x1.7fd22ff599d4cp-3, 0x1.5bf457b7d1812p-58},
    {0x1.340ad461776d3p+0, -0x1.7b0091651528bp-3, -0x1.10d3e606a318fp-58},
    {0x1.3351ee97dbfc6p+0, -0x1.7631d82935a84p-3, 0x1.8dc7c5f3e101cp-57},
    {0x1.3299e6401329ap+0, -0x1.716600c914055p-3, -0x1.855f3b0e0e1cdp-59},
    {0x1.31e2b9cd37dc2p+0, -0x1.6c9d07d203fc4p-3, 0x1.fafd9b2dc9d46p-62},
    {0x1.312c67b6173eep+0, -0x1.67d6e9d785770p-3, 0x1.0185383697ee2p-59},
    {0x1.3076ee7525c2cp+0, -0x1.6313a37335d76p-3, -0x1.cab0de1592fb0p-58},
    {0x1.2fc24c8874486p+0, -0x1.5e533144c1718p-3, -0x1.b8189ade2b075p-57},
    {0x1.2f0e8071a5703p+0, -0x1.59958ff1d52f4p-3, 0x1.e65da72814af4p-58},
    {0x1.2e5b88b5e3104p+0, -0x1.54dabc26105d3p-3, 0x1.42346e5e4fa23p-58},
    {0x1.2da963ddd3cfbp+0, -0x1.5022b292f6a45p-3, -0x1.0ff9b512dbc1dp-59},
    {0x1.2cf8107590e67p+0, -0x1.4b6d6fefe22a5p-3, -0x1.fcf56e7951abbp-58},
    {0x1.2c478d0c9c013p+0, -0x1.46baf0f9f5db8p-3, -0x1.717c37bdf2e08p-57},
    {0x1.2b97d835d548ep+0, -0x1.420b32740fdd6p-3, -0x1.8e9bd2fbbdd69p-57},
    {0x1.2ae8f087718d0p+0, -0x1.3d5e3126bc281p-3, 0x1.e83d7b49da757p-57},
    {0x1.2a3ad49af0907p+0, -0x1.38b3e9e027477p-3, 0x1.98a8b82ff1eb3p-57},
    {0x1.298d830d13780p+0, -0x1.340c59741142dp-3, -0x1.18413163ccbcfp-59},
    {0x1.28e0fa7dd35a3p+0, -0x1.2f677cbbc0a98p-3, -0x1.42160f40d56bbp-60},
    {0x1.2835399057efdp+0, -0x1.2ac55095f5c5bp-3, 0x1.2b68636453e34p-57},
    {0x1.278a3eeaee650p+0, -0x1.2625d1e6ddf55p-3, -0x1.4e87b0e13f0a5p-59},
    {0x1.26e009370049cp+0, -0x1.2188fd9807266p-3, -0x1.a3015e71fdb2bp-57},
    {0x1.263697210aa18p+0, -0x1.1ceed09853755p-3, -0x1.e3736a838a6b8p-63},
    {0x1.258de75895121p+0, -0x1.185747dbecf34p-3, 0x1.1ee90992dcbabp-58},
    {0x1.24e5f89029305p+0, -0x1.13c2605c398bfp-3, -0x1.da26b09af7476p-57},
    {0x1.243ec97d49eaep+0, -0x1.0f301717cf0fbp-3, 0x1.f8835d0d8979fp-57},
    {0x1.239858d86b11fp+0, -0x1.0aa06912675d5p-3, -0x1.68a3f37b5ce5ap-58},
    {0x1.22f2a55ce8fc5p+0, -0x1.06135354d4b19p-3, 0x1.575f2fc45ac69p-58},
    {0x1.224dadc900489p+0, -0x1.0188d2ecf613ep-3, -0x1.451cff9dfe3fbp-59},
    {0x1.21a970ddc5ba7p+0, -0x1.fa01c9db57ce7p-4, -0x1.1c0b6eb19fd48p-60},
    {0x1.2105ed5f1e336p+0, -0x1.f0f70cdd992e4p-4, -0x1.9db09cb07729cp-58},
    {0x1.20632213b6c6dp+0, -0x1.e7f1691a32d3ap-4, -0x1.7990e21019877p-58},
    {0x1.1fc10dc4fce8bp+0, -0x1.def0d8d466dbbp-4, -0x1.0efb45962e028p-58},
    {0x1.1f1faf3f16b64p+0, -0x1.d5f55659210e1p-4, 0x1.b19f3d5cb5706p-59},
    {0x1.1e7f0550db594p+0, -0x1.ccfedbfee13a8p-4, -0x1.32fe71255a574p-60},
    {0x1.1ddf0ecbcb841p+0, -0x1.c40d6425a5cb4p-4, -0x1.987464c3722b2p-58},
    {0x1.1d3fca840a074p+0, -0x1.bb20e936d6976p-4, -0x1.f2ae991c88432p-62},
    {0x1.1ca13750547fep+0, -0x1.b23965a52ff04p-4, 0x1.e9dd426e0f27bp-58},
    {0x1.1c035409fc1dfp+0, -0x1.a956d3ecade60p-4, 0x1.cacff4ed42aa4p-58},
    {0x1.1b661f8cde833p+0, -0x1.a0792e9277cadp-4, -0x1.fc9b2957205c6p-58},
    {0x1.1ac998b75eb90p+0, -0x1.97a07024cbe6ep-4, 0x1.82e641279cfb5p-61},
    {0x1.1a2dbe6a5e3e4p+0, -0x1.8ecc933aeb6e2p-4, 0x1.9be67f7aa7546p-61},
    {0x1.19928f89362b7p+0, -0x1.85fd927506a46p-4, 0x1.0665c3071db3dp-62},
    {0x1.18f80af9b06dcp+0, -0x1.7d33687c293c8p-4, 0x1.0f063e63e7076p-58},
    {0x1.185e2fa401186p+0, -0x1.746e100226edbp-4, 0x1.4b70f10e93174p-59},
    {0x1.17c4fc72bfcb9p+0, -0x1.6bad83c1883bap-4, -0x1.ae60449356c12p-58},
    {0x1.172c7052e1316p+0, -0x1.62f1be7d7774ap-4, 0x1.5fb58f1376e6ep-63},
    {0x1.16948a33b08fap+0, -0x1.5a3abb01ade21p-4, -0x1.e4f357d0bf567p-59},
    {0x1.15fd4906c96f1p+0, -0x1.5188742261311p-4, -0x1.996258b3d8a77p-60},
    {0x1.1566abc011567p+0, -0x1.48dae4bc3101dp-4, -0x1.b90461005f525p-59},
    {0x1.14d0b155b19aep+0, -0x1.403207b414b79p-4, -0x1.a95502af7fe71p-58},
    {0x1.143b58c01143bp+0, -0x1.378dd7f74970fp-4, 0x1.2d70e0535f54fp-60},
    {0x1.13a6a0f9cf01ep+0, -0x1.2eee507b402ffp-4, 0x1.a1228837a052dp-59},
    {0x1.131288ffbb3b6p+0, -0x1.26536c3d8c36cp-4, 0x1.c9fb41d22e910p-58},
    {0x1.127f0fd0d2295p+0, -0x1.1dbd2643d1913p-4, 0x1.fc9a20edb0203p-58},
    {0x1.11ec346e36092p+0, -0x1.152b799bb3cd0p-4, 0x1.e90703082910cp-59},
    {0x1.1159f5db29606p+0, -0x1.0c9e615ac4e19p-4, 0x1.0fed164d13b5bp-58},
    {0x1.10c8531d0952ep+0, -0x1.0415d89e7444bp-4, -0x1.40b9e3aea6c39p-59},
    {0x1.10374b3b480aap+0, -0x1.f723b517fc51fp-5, 0x1.c6eab08695901p-59},
    {0x1.0fa6dd3f67322p+0, -0x1.e624c4a0b5e15p-5, 0x1.a3a33b3446795p-59},
    {0x1.0f170834f27fap+0, -0x1.d52ed6405d87ap-5, 0x1.4a8a6ef59ba39p-62},
    {0x1.0e87cb297a51ep+0, -0x1.c441e06f72a93p-5, 0x1.45b3d79755aa4p-59},
    {0x1.0df9252c8e5e6p+0, -0x1.b35dd9b58baa8p-5, 0x1.94985538de795p-63},
    {0x1.0d6b154fb86f9p+0, -0x1.a282b8a936174p-5, 0x1.8c077e47149d6p-60},
    {0x1.0cdd9aa677344p+0, -0x1.91b073efd7314p-5, 0x1.4fddb2a56c208p-64},
    {0x1.0c50b446391f3p+0, -0x1.80e7023d8ccc8p-5, 0x1.ab7945fa2720bp-59},
    {0x1.0bc4614657569p+0, -0x1.70265a550e77bp-5, -0x1.e3b80a8c6332fp-59},
    {0x1.0b38a0c010b39p+0, -0x1.5f6e73078efc3p-5, -0x1.affdb6d68f1fbp-62},
    {0x1.0aad71ce84d16p+0, -0x1.4ebf43349e26ap-5, -0x1.fc23106232514p-59},
    {0x1.0a22d38eaf2bfp+0, -0x1.3e18c1ca0ae99p-5, -0x1.27edc6f1c907ep-61},
    {0x1.0998c51f624d5p+0, -0x1.2d7ae5c3c5bb7p-5, -0x1.15d312cc97c03p-59},
    {0x1.090f45a1430aap+0, -0x1.1ce5a62bc3540p-5, 0x1.839390333b61ep-59},
    {0x1.08865436c3cf7p+0, -0x1.0c58fa19dfaabp-5, 0x1.62b162f225e0bp-60},
    {0x1.07fdf0041ff7cp+0, -0x1.f7a9b16782855p-6, -0x1.c938df3eb88aap-60},
    {0x1.0776182f57386p+0, -0x1.d6b272597981fp-6, -0x1.95e5c8f8f355ep-61},
    {0x1.06eecbe029155p+0, -0x1.b5cc258b718e7p-6, 0x1.791d41005f9a7p-60},
    {0x1.06680a4010668p+0, -0x1.94f6b99a24473p-6, 0x1.0693080ae9e8ap-64},
    {0x1.05e1d27a3ee9cp+0, -0x1.74321d3d006d2p-6, -0x1.690fe9477840cp-60},
    {0x1.055c23bb98e2ap+0, -0x1.537e3f45f354ep-6, 0x1.b169406d66a7bp-60},
    {0x1.04d6fd32b0c7bp+0, -0x1.32db0ea132e10p-6, 0x1.e767bb50221ffp-60},
    {0x1.04525e0fc2fcbp+0, -0x1.12487a5507f68p-6, 0x1.804ad31b5f952p-62},
    {0x1.03ce4584b19a0p+0, -0x1.e38ce30333100p-7, 0x1.147b45033e1b4p-61},
    {0x1.034ab2c50040dp+0, -0x1.a2a9c6c17044dp-7, 0x1.35b4d1c8470b4p-66},
    {0x1.02c7a505cffbfp+0, -0x1.61e77e8b53f9fp-7, -0x1.a2a0e2a1967efp-61},
    {0x1.02451b7ddb2d2p+0, -0x1.2145e939ef1bcp-7, -0x1.47189d3ff66bfp-61},
    {0x1.01c315657186bp+0, -0x1.c189cbb0e283fp-8, -0x1.bb69dea7ecc2cp-62},
    {0x1.014191f674111p+0, -0x1.40c8a7478788dp-8, 0x1.e20f8fffe770ap-62},
    {0x1.00c0906c513cfp+0, -0x1.809048289860ap-9, 0x1.6958f3f3b017bp-65},
    {0x1.0000000000000p+0, 0x0.0p+0, 0x0.0p+0},
};

constexpr double kShifter = 0x1.8p52;  // adding it rounds to an integer

// 2^n as a double, for -1022 <= n <= 1023.
inline double pow2(int n) {
    return std::bit_cast<double>(static_cast<std::uint64_t>(n + 1023) << 52);
}

// exp(x) = 2^k × (vh + vl) for |x| < 746: x = (128 k + j) ln2/128 + r with
// |r| <= ln2/256, then 2^(j/128) × (1 + p(r)). p(r) = r + r²/2 (both exact
// in double-double) + r³ (1/6 + r/24 + ...) to r^7; error near 2^-78. The
// part p is handed back in ph + pl for expm1 near zero.
struct ExpParts {
    int k;
    int ki;
    double vh, vl;
    double ph, pl;
};

inline ExpParts exp_core(double x) {
    const double kd = (x * kExpInvL + kShifter) - kShifter;
    const int ki = static_cast<int>(kd);
    const int j = ki & 127;
    const int k = ki >> 7;

    // r = x - kd ln2/128 as rh + rl.
    const double r0 = x - kd * kExpL1;  // exact
    const DD m = dd::two_prod(kd, kExpL2);
    const DD rs = dd::two_sum(r0, -m.hi);
    const double rh = rs.hi;
    const double rl = (rs.lo - m.lo) - kd * kExpL3;

    const DD sq = dd::two_prod(rh, rh);
    const double q =
        rh * (1.0 / 6 + rh * (1.0 / 24 + rh * (1.0 / 120 + rh * (1.0 / 720 + rh * (1.0 / 5040)))));
    const DD pa = dd::fast_two_sum(rh, 0.5 * sq.hi);
    const double pl = pa.lo + (rl + (0.5 * sq.lo + (rh * rl + sq.hi * q)));
    const double ph = pa.hi;

    // 2^(j/128) × (1 + p) = T + T p.
    const double th = kExpTable[j][0];
    const double tl = kExpTable[j][1];
    const DD tp = dd::two_prod(th, ph);
    const double tpl = tp.lo + (th * pl + tl * ph);
    const DD v = dd::fast_two_sum(th, tp.hi);
    return {k, ki, v.hi, v.lo + (tpl + tl), ph, pl};
}

// (vh + vl) × 2^k rounded once, also where the result is subnormal or
// overflows.
inline double scale_exp(double vh, double vl, int k) {
    if (k > 1020) {
        return ((vh + vl) * pow2(k - 3)) * 8.0;
    }
    if (k >= -1021) {
        return (vh + vl) * pow2(k);
    }
    // The result is below 2^-1021: round at the subnormal grid by adding 1
    // to the value scaled by 2^1022, whose ulp is then the subnormal step.
    if (k < -1080) {
        return 0.0;
    }
    const double s = pow2(k + 1022);
    const double sh = vh * s;
    const double sl = vl * s;
    if (sh >= 1.0) {
        return ((vh + vl) * s) * 0x1p-1022;
    }
    const DD z = dd::fast_two_sum(1.0, sh);
    const double y = (z.hi + (z.lo + sl)) - 1.0;
    return y * 0x1p-1022;
}

// ln(m + l) + e ln 2 for m in [1, 2) with its table row i (m already halved
// for rows from 106 on) and a small correction l (|l| < ulp(m)).
inline double log_core(double m, double l, int e, int i) {
    const double c = kLogTable[i][0];
    // r = m c - 1 + l c, exactly but for the rounding of l c.
    const DD p = dd::two_prod(m, c);
    const DD r = dd::two_sum(p.hi - 1.0, p.lo + l * c);
    const double rh = r.hi;
    const double rl = r.lo;

    // ln(1 + r) = r - r²/2 + r³ (1/3 - r/4 + ... - r^7/10), |r| < 2^-8.
    const DD sq = dd::two_prod(rh, rh);
    const double hh = 0.5 * sq.hi;
    const double hl = 0.5 * sq.lo + rh * rl;
    const double q =
        rh * (1.0 / 3 +
              rh * (-1.0 / 4 +
                    rh * (1.0 / 5 +
                          rh * (-1.0 / 6 +
                                rh * (1.0 / 7 + rh * (-1.0 / 8 + rh * (1.0 / 9 + rh * (-1.0 / 10))))))));
    const double ed = static_cast<double>(e);
    const DD a = dd::two_sum(ed * kLn2Hi, kLogTable[i][1]);
    const DD b = dd::two_sum(a.hi, rh);
    const DD d = dd::two_sum(b.hi, -hh);
    const double low =
        ((a.lo + b.lo) + d.lo) + ((ed * kLn2Lo + kLogTable[i][2]) + ((rl - hl) + sq.hi * q));
    return d.hi + low;
}

// Splits a positive normal x into 2^e × m with m in [1, 2) (halved, and e
// raised, for rows from 106 on) and hands back the table row.
struct LogParts {
    double m;
    int e;
    int i;
    bool halved;
};

inline LogParts log_split(double x) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    int e = static_cast<int>(bits >> 52) - 1023;
    const int i = static_cast<int>((bits >> 44) & 0xFF);
    double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    const bool halved = i >= 106;
    if (halved) {
        m *= 0.5;
        e += 1;
    }
    return {m, e, i, halved};
}

}  // namespace

double exp(double x) {
    if (x != x) {
        return x + x;
    }
    if (x > 710.0) {
        return std::numeric_limits<double>::infinity();
    }
    if (x < -746.0) {
        return 0.0;
    }
    const ExpParts p = exp_core(x);
    return scale_exp(p.vh, p.vl, p.k);
}

double expm1(double x) {
    if (x != x) {
        return x + x;
    }
    if (x > 710.0) {
        return std::numeric_limits<double>::infinity();
    }
    if (x < -40.0) {
        return -1.0;  // e^x below half an ulp of 1
    }
    if (std::fabs(x) < 0x1p-54) {
        return x;  // x + x²/2 rounds to x; keeps ±0 and subnormals
    }
    const ExpParts p = exp_core(x);
    if (p.ki == 0) {
        return p.ph + p.pl;  // |x| < ln2/256: e^x - 1 is p itself
    }
    if (p.k > 1000) {
        return scale_exp(p.vh, p.vl, p.k);  // the 1 is far below an ulp
    }
    const double s = pow2(p.k);
    const DD d = dd::two_sum(p.vh * s, -1.0);
    return d.hi + (d.lo + p.vl * s);
}

double log(double x) {
    if (x != x) {
        return x + x;
    }
    if (x < 0.0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (x == 0.0) {
        return -std::numeric_limits<double>::infinity();
    }
    if (x == std::numeric_limits<double>::infinity()) {
        return x;
    }
    int extra = 0;
    if (x < 0x1p-1022) {
        x *= 0x1p54;  // subnormal: bring it into the normal range
        extra = -54;
    }
    const LogParts s = log_split(x);
    return log_core(s.m, 0.0, s.e + extra, s.i);
}

double log1p(double x) {
    if (x != x) {
        return x + x;
    }
    if (x <= -1.0) {
        return x == -1.0 ? -std::numeric_limits<double>::infinity()
                         : std::numeric_limits<double>::quiet_NaN();
    }
    if (x == std::numeric_limits<double>::infinity()) {
        return x;
    }
    if (std::fabs(x) < 0x1p-54) {
        return x;  // x - x²/2 rounds to x; keeps ±0 and subnormals
    }
    // 1 + x exactly as uh + ul, then ln(uh + ul) with ul as the correction.
    const DD u = dd::two_sum(1.0, x);
    const LogParts s = log_split(u.hi);
    // ul scaled with m: by 2^-e in two steps, so that no step leaves the
    // normal range.
    const int e0 = s.e / 2;
    const double l = (u.lo * pow2(-e0)) * pow2(-(s.e - e0));
    return log_core(s.m, l, s.e, s.i);
}

double pow(double x, double y) { return std::pow(x, y); }
double sinh(double x) { return std::sinh(x); }
double cosh(double x) { return std::cosh(x); }
double asinh(double x) { return std::asinh(x); }

}  // namespace kvz::elem
